// Burst reads: the bytes of the command, results equal to single reads, failures as
// single reads fail, and bursts longer than one command.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <set>
#include <vector>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;
using Log = std::deque<Bytes>;
using Texts = std::vector<std::string>;
using Positions = std::vector<int16_t>;

auto Fields(const RegResults& r) {
    return std::tie(r.RegRaw, r.RegValue, r.RegScaled, r.RegNDBit);
}

std::vector<RegResults> Burst(App& app, const Positions& p) {
    std::vector<RegResults> out(p.size());
    ReadRegisterBurst(app, p, out);
    return out;
}

std::vector<RegResults> Singles(App& app, const Positions& p) {
    std::vector<RegResults> out;
    for (int16_t pos : p) {
        ReadRegister(app, pos);
        out.push_back(app.res);
    }
    return out;
}

void ExpectSameResults(const std::vector<RegResults>& a, const std::vector<RegResults>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(Fields(a[i]), Fields(b[i])) << i;
}

TEST(BurstRead, OneCommandOfKPlusOneFramesEachRequestAnsweredByTheNextFrame) {
    test::SimTestApp s;
    s.sensor.hold(0x04, 0x9234);
    s.sensor.hold(0x0A, 0x1FFF);
    s.sensor.hold(0x10, 0x8FFF);
    s.driver.clearCommands();
    const auto r = Burst(s.app, {2, 5, 8});
    EXPECT_EQ(s.driver.commands(),
              (Log{{0x0D, 0x01, 0x04, 0x04, 0x00, 0x0A, 0x00, 0x10, 0x00, 0x10, 0x00}}));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(Fields(r[0]),
              Fields(RegResults{0x9234, 0x1234, 0x1234 * static_cast<double>(0.07326f), 32768}));
    EXPECT_EQ(r[1].RegValue, 0x1FFF);
    EXPECT_EQ(r[1].RegNDBit, 0);
    EXPECT_EQ(r[2].RegValue, -1);
    EXPECT_EQ(r[2].RegNDBit, 32768);
    EXPECT_NEAR(r[2].RegScaled, 25 - 0.1453, 1e-6);
    EXPECT_EQ(Fields(s.app.res), Fields(r[2])); // left as after the last single read
    EXPECT_EQ(s.driver.openHandles(), 0);

    // One register is exactly today's single read.
    s.driver.clearCommands();
    Burst(s.app, {2});
    ReadRegister(s.app, 2);
    EXPECT_EQ(s.driver.commands()[0], s.driver.commands()[1]);
}

TEST(BurstRead, SameDecodedResultsAsSingleReadsOnTheSensor) {
    // Every readable output of both tables, with unreadable positions mixed in (the
    // placeholder, GLOB_CMD, out of range) and a register read twice, whose second read
    // finds its new-data bit cleared.
    for (float model : {41120.f, 41040.f}) {
        SCOPED_TRACE(model);
        const Positions p = model == 41040.f
                                ? Positions{1, 2, 3, 4, 5, 1, 6, 7, 8, 2, 0, 28, 27, 400}
                                : Positions{1, 2, 3, 31, 4, 5, 6, 7, 8, 9, 10, 11, 2, -1, 0};
        test::SimTestApp a(model, test::Noisy()), b(model, test::Noisy());
        // One sample every 128 ms, and both clocks moved on to each next sample, so that
        // both read the same samples although a burst takes far less USB time.
        constexpr int64_t kPeriodUs = 128000;
        auto toSample = [&](test::SimTestApp& s, int k) {
            s.sensor.tick(1000 + k * kPeriodUs - std::llround(s.sensor.now() * 1e6));
        };
        for (auto* s : {&a, &b}) {
            s->sensor.setWord(0x36, 0x00FF);
            toSample(*s, 0);
            s->app.res = {1, 2, 3.5, 32768}; // what the placeholder repeats first
        }
        std::set<int32_t> raw;
        for (int pass = 0; pass < 30; ++pass) {
            const auto burst = Burst(a.app, p);
            ExpectSameResults(burst, Singles(b.app, p));
            raw.insert(burst[1].RegRaw);
            if (pass % 3 == 2) { // three passes of the same sample, then the next
                toSample(a, pass / 3 + 1);
                toSample(b, pass / 3 + 1);
            }
        }
        EXPECT_GT(raw.size(), 3u); // the outputs moved
        EXPECT_EQ(a.sensor.samplesMade(), b.sensor.samplesMade());
        EXPECT_EQ(a.sensor.samplesMade(), 12);
        EXPECT_LT(a.driver.commands().size() * 5, b.driver.commands().size());
        EXPECT_TRUE(a.t.messages.shown.empty());
    }
}

TEST(BurstRead, MoreThanFifteenRegistersAreSplitNeverPastTheFrameArrays) {
    // 20 readable registers: 15 in a command of 16 frames, then 5 in one of 6; the
    // unreadable GLOB_CMD at the split sends nothing.
    Positions p;
    for (int16_t pos = 0; pos < 20; ++pos) p.push_back(pos);
    p.insert(p.begin() + 15, 31);
    test::SimTestApp a, b;
    for (auto* s : {&a, &b})
        for (int addr = 0; addr < 0x5A; addr += 2)
            s->sensor.hold(addr, static_cast<uint16_t>(0x8100 + addr));
    a.driver.clearCommands();
    ExpectSameResults(Burst(a.app, p), Singles(b.app, p));
    const Log& sent = a.driver.commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][2], 16);
    EXPECT_EQ(sent[0].size(), 35u);
    EXPECT_EQ(sent[1][2], 6);
    EXPECT_EQ(Bytes(sent[0].begin() + 31, sent[0].end()), (Bytes{0x1E, 0, 0x1E, 0})); // 15th twice
    EXPECT_EQ(sent[1][3], 0x20);

    // The results span only as far as both lists go.
    std::vector<RegResults> two(2);
    a.driver.clearCommands();
    ReadRegisterBurst(a.app, p, two);
    EXPECT_EQ(a.driver.commands().size(), 1u);
    EXPECT_EQ(a.driver.commands()[0][2], 3);
}

TEST(BurstRead, FailuresAreTodaysTransferFailures) {
    using sim::SimDriver;
    const std::vector<std::function<void(SimDriver&)>> arms = {
        [](SimDriver& d) { d.failBulk(0); },
        [](SimDriver& d) { d.failBulk(1); },
        [](SimDriver& d) { d.shortReply(1, 3); }, // short of one word
        [](SimDriver& d) { d.unplug(0); },
    };
    const char* messages[] = {"Error Writing SPI", "Error Reading SPI", "Error Reading SPI",
                              "Error Writing SPI"};
    const Positions p = {2, 5, 8};
    for (std::size_t k = 0; k < arms.size(); ++k) {
        SCOPED_TRACE(messages[k]);
        test::SimTestApp a, b;
        for (auto* s : {&a, &b}) {
            s->sensor.hold(0x04, 0x8123); // left in the words by the last good read
            ReadRegister(s->app, 2);
            s->sensor.hold(0x04, 0x8777);
            arms[k](s->driver);
        }
        // Nothing is taken from a short reply: every read decodes the old word.
        ExpectSameResults(Burst(a.app, p), Singles(b.app, p));
        EXPECT_EQ(Burst(a.app, p)[1].RegRaw, 0x8123);
        EXPECT_EQ(a.t.messages.texts(), Texts{messages[k]});
        EXPECT_EQ(b.t.messages.texts(), Texts{messages[k]});
        EXPECT_FALSE(a.app.usb.UsbReady);
        EXPECT_EQ(a.driver.openHandles(), 0);
        // Skipped silently from then on, until a new search.
        a.driver.clearCommands();
        Burst(a.app, p);
        EXPECT_TRUE(a.driver.commands().empty());
        EXPECT_EQ(a.t.messages.shown.size(), 1u);
        a.driver.replug(0);
        UsbFindBuffers(a.app);
        EXPECT_EQ(Burst(a.app, p)[0].RegRaw, 0x8777);
    }
}

TEST(BurstRead, WithoutTransportReadsZeroAndSendsNothing) {
    test::SimTestApp a, b;
    a.app.usb.InterfaceKind = b.app.usb.InterfaceKind = InterfaceNone;
    const Positions p = {8, 2, 31};
    ExpectSameResults(Burst(a.app, p), Singles(b.app, p));
    EXPECT_EQ(a.app.res.RegScaled, 0.0);
    EXPECT_EQ(Burst(a.app, p)[0].RegScaled, 25.0);
    EXPECT_TRUE(a.driver.commands().empty());
}

} // namespace
} // namespace tavrin
