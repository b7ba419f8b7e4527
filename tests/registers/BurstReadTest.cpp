// Burst reads: the bytes of the command, results equal to single reads, failures as
// single reads fail, and bursts longer than one command.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"

using namespace tavrin::registers;

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;
using Positions = std::vector<int16_t>;

std::vector<RegResults> Burst(app::App& app, const Positions& p) {
    std::vector<RegResults> out(p.size());
    ReadRegisterBurst(app, p, out);
    return out;
}

// The burst's results equal single reads of the same positions on a twin.
void ExpectAsSingles(test::SimTestApp& a, test::SimTestApp& b, const Positions& p) {
    const auto burst = Burst(a.app, p);
    for (std::size_t i = 0; i < p.size(); ++i) {
        ReadRegister(b.app, p[i]);
        const RegResults& r = b.app.res;
        EXPECT_EQ(
            std::tie(burst[i].RegRaw, burst[i].RegValue, burst[i].RegScaled, burst[i].RegNDBit),
            std::tie(r.RegRaw, r.RegValue, r.RegScaled, r.RegNDBit))
            << "position " << p[i];
    }
}

TEST(BurstRead, OneCommandOfKPlusOneFramesEachRequestAnsweredByTheNextFrame) {
    test::SimTestApp a, b;
    for (auto* s : {&a, &b}) {
        for (int addr = 0; addr < 0x5A; addr += 2)
            s->sensor.hold(addr, static_cast<uint16_t>(0x8100 + addr));
        s->sensor.hold(0x04, 0x9234);
        s->sensor.hold(0x0A, 0x1FFF);
        s->sensor.hold(0x10, 0x8FFF);
    }
    a.driver.clearCommands();
    EXPECT_EQ(Burst(a.app, {2, 5, 8})[0].RegValue, 0x1234);
    EXPECT_EQ(a.driver.commands(), (std::deque<Bytes>{{0x0D, 0x01, 0x04, 0x04, 0x00, 0x0A, 0x00,
                                                       0x10, 0x00, 0x10, 0x00}}));
    ExpectAsSingles(a, b, {2, 5, 8});
    EXPECT_EQ(a.app.res.RegRaw, 0x8FFF); // left as after the last single read
    EXPECT_EQ(a.driver.openHandles(), 0);

    // 20 readable registers: 15 in a command of 16 frames, then 5 in one of 6; the
    // unreadable GLOB_CMD at the split and positions out of range send nothing.
    Positions p = {-1};
    for (int16_t pos = 0; pos < 20; ++pos) p.push_back(pos);
    p.insert(p.begin() + 16, 31);
    p.push_back(400);
    a.driver.clearCommands();
    ExpectAsSingles(a, b, p);
    const auto& sent = a.driver.commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].size(), 35u);
    EXPECT_EQ(Bytes(sent[0].begin() + 2, sent[0].begin() + 4), (Bytes{16, 0x00}));
    EXPECT_EQ(Bytes(sent[0].begin() + 31, sent[0].end()), (Bytes{0x1E, 0, 0x1E, 0})); // 15th twice
    EXPECT_EQ(Bytes(sent[1].begin() + 2, sent[1].begin() + 4), (Bytes{6, 0x20}));
    // The results span only as far as both lists go.
    std::vector<RegResults> two(3);
    a.driver.clearCommands();
    ReadRegisterBurst(a.app, p, two);
    EXPECT_EQ(a.driver.commands()[0][2], 3);
}

TEST(BurstRead, FailuresAreTodaysTransferFailures) {
    using sim::SimDriver;
    const std::pair<std::function<void(SimDriver&)>, const char*> arms[] = {
        {[](SimDriver& d) { d.failBulk(0); }, "Error Writing SPI"},
        {[](SimDriver& d) { d.failBulk(1); }, "Error Reading SPI"},
        {[](SimDriver& d) { d.shortReply(1, 3); }, "Error Reading SPI"}, // short of one word
        {[](SimDriver& d) { d.unplug(0); }, "Error Writing SPI"}};
    const Positions p = {2, 5, 8};
    for (const auto& [arm, message] : arms) {
        SCOPED_TRACE(message);
        test::SimTestApp a, b;
        for (auto* s : {&a, &b}) {
            s->sensor.hold(0x04, 0x8123); // left in the words by the last good read
            ReadRegister(s->app, 2);
            s->sensor.hold(0x04, 0x8777);
            arm(s->driver);
        }
        // Nothing is taken from a short reply: every read decodes the old word.
        ExpectAsSingles(a, b, p);
        EXPECT_EQ(Burst(a.app, p)[1].RegRaw, 0x8123);
        EXPECT_EQ(a.t.messages.texts(), std::vector<std::string>{message});
        EXPECT_FALSE(a.app.usb.UsbReady);
        EXPECT_EQ(a.driver.openHandles(), 0);
        // Skipped silently from then on, until a new search.
        a.driver.clearCommands();
        Burst(a.app, p);
        EXPECT_TRUE(a.driver.commands().empty());
        a.driver.replug(0);
        transport::UsbFindBuffers(a.app);
        EXPECT_EQ(Burst(a.app, p)[0].RegRaw, 0x8777);
    }
    test::SimTestApp a, b; // without transport: zero read, nothing sent
    a.app.usb.InterfaceKind = b.app.usb.InterfaceKind = transport::InterfaceNone;
    ExpectAsSingles(a, b, {8, 2, 31});
    EXPECT_EQ(Burst(a.app, {8})[0].RegScaled, 25.0);
    EXPECT_TRUE(a.driver.commands().empty());
}

} // namespace
} // namespace tavrin
