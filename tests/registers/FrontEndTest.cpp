// The register front end: positions in, adapter frames out, results and statuses back; burst
// reads equal to single reads, failures as single reads fail, bursts longer than a command.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"

namespace tavrin::registers {
namespace {

using Bytes = std::vector<uint8_t>;
using Log = std::deque<Bytes>;
using Positions = std::vector<int16_t>;

TEST(FrontEndRead, SendsRequestTwiceAndTakesSecondWord) {
    test::SimTestApp s;
    s.sensor.hold(0x20, 0x1234);
    s.sensor.hold(0x3E, 0xABCD);
    int16_t first = 0x20;
    EXPECT_EQ(ReadRegisterWord(s.app.registers(), first).word, 0x1234);
    s.driver.clearCommands();

    int16_t address = 0xBE;
    EXPECT_EQ(ReadRegisterWord(s.app.registers(), address).word, 0xABCD);
    EXPECT_EQ(address, 0x3E);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x3E, 0x00, 0x3E, 0x00}}));
}

TEST(FrontEndRead, DecodesScalesAndKeepsNewDataBit) {
    // In this order: the new-data bit is cleared by a read without it, and kept by a
    // register that has no new-data flag (FLSH_CNT). The listing's golden files hold the
    // decoding of every register, the command-line ones the single-precision factors.
    // Position, address, word, value, new-data bit, scaled value.
    const std::tuple<int16_t, int, uint16_t, int32_t, int32_t, double> rows[] = {
        {2, 0x04, 0xDFFF, 8191, 32768, 8191 * 0.07326},
        {2, 0x04, 0x3FFF, -1, 0, -0.07326},
        {2, 0x04, 0x9FFF, 8191, 32768, 8191 * 0.07326},
        {0, 0x00, 0x0123, 0x123, 32768, 0x123},
        {8, 0x10, 0x0FFF, -1, 0, 24.8547},
        {1, 0x02, 0xCFFF, 4095, 32768, 7.49999},
    };
    test::SimTestApp s; // standard table, table scales
    for (const auto& [pos, addr, word, value, ndBit, scaled] : rows) {
        s.sensor.hold(addr, word);
        const Reading r = ReadRegister(s.app.registers(), pos);
        EXPECT_EQ(r.status, transport::Status::Ok);
        EXPECT_EQ(r.res.RegRaw, word) << word;
        EXPECT_EQ(r.res.RegValue, value) << word;
        EXPECT_EQ(r.res.RegNDBit, ndBit) << word;
        EXPECT_NEAR(r.res.RegScaled, scaled, 1e-4) << word;
        EXPECT_EQ(s.app.res.RegRaw, word); // the documented results, kept up to date
    }
}

// Bursts show that unreadable and outside positions are read as nothing.
TEST(FrontEndWrite, OutsideTheTableOrWithoutTransportSendsNothing) {
    test::SimTestApp s, m(41040);
    for (int16_t pos : {-1, 297, 32000})
        EXPECT_EQ(WriteRegister(s.app.registers(), pos, 0x1234).status, transport::Status::Skipped);
    // The 41040's placeholder is not readable either: the results of the read before stay.
    m.app.res.RegRaw = 77;
    EXPECT_EQ(ReadRegister(m.app.registers(), 1).res.RegRaw, 77);
    s.app.usb.InterfaceKind = transport::InterfaceNone;
    EXPECT_EQ(WriteRegister(s.app.registers(), 12, 0x1234).status, transport::Status::Skipped);
    EXPECT_TRUE(s.driver.commands().empty());
    EXPECT_TRUE(m.driver.commands().empty());
}

TEST(FrontEndWrite, FramesOrderWaitAndMasks) {
    test::SimTestApp s;
    s.app.regs.RegisterTable[35].Address = 0x16;
    // 16-bit registers high byte first (position 35 low byte first), then 0.1 ms.
    const RegisterAccess io = s.app.registers();
    EXPECT_EQ(WriteRegister(io, 11, 0x1234).status, transport::Status::Ok);
    EXPECT_EQ(s.t.delaySteps, 10);
    EXPECT_EQ(WriteRegister(io, 35, 0x1234).status, transport::Status::Ok);
    EXPECT_EQ(s.t.delaySteps, 20);
    EXPECT_EQ(WriteRegister(io, 20, 0x1FF).status, transport::Status::Ok); // 8 bits: no wait
    EXPECT_EQ(s.t.delaySteps, 20);
    EXPECT_EQ(s.sensor.word(0x2A) & 0xFF, 0xFF);
    int16_t a1 = 0xC0, b1 = 0x1AB, a2 = 0x41, b2 = -1;
    EXPECT_EQ(WriteFramePair(io, a1, b1, a2, b2), transport::Status::Ok);
    EXPECT_EQ((std::vector<int16_t>{a1, b1, a2, b2}),
              (std::vector<int16_t>{0x40, 0xAB, 0x41, 0xFF}));
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x97, 0x12, 0x96, 0x34},
                                        {0x0D, 0x01, 0x02, 0x96, 0x34, 0x97, 0x12},
                                        {0x0D, 0x01, 0x01, 0xAA, 0xFF},
                                        {0x0D, 0x01, 0x02, 0xC0, 0xAB, 0xC1, 0xFF}}));

    EXPECT_FALSE(WriteRegister(io, s.app.regs.iZACCL_OFF, -300).gyroRange);
    EXPECT_EQ(s.sensor.word(0x24), 0xFED4);
    for (int i = 0; i < 7; ++i) (void)ReadRegister(io, s.app.regs.iZACCL_OUT);
    // 1 g is 300 counts: the offset takes it away.
    EXPECT_NEAR(ReadRegister(io, s.app.regs.iZACCL_OUT).res.RegValue, 0, 5);
}

TEST(GyroScale, RangeCodeSelectsScaleAndAWriteOfTheRangeSaysSo) {
    test::SimTestApp s;
    s.app.model.GyroBaseScale = 0.05;
    const double expected[8] = {0, 0.0125, 0.025, 0, 0.05, 0, 0, 0};
    for (int code = 0; code < 8; ++code) {
        s.sensor.hold(0x38, static_cast<uint16_t>(code << 8 | 0x02));
        EXPECT_EQ(UpdateGyroScale(s.app.registers()), transport::Status::Ok);
        for (int p = 2; p <= 4; ++p)
            EXPECT_EQ(s.app.regs.RegisterTable[p].RegScale, static_cast<float>(expected[code]))
                << "code " << code << " position " << p;
    }
    // Writing SENS_AVG reads the range back: the write's own frames, then the read. A rate
    // of 5 deg/s by the offset reads the same in every range once the scale follows.
    test::SimTestApp w;
    w.app.model.GyroBaseScale = 0.05;
    const RegisterAccess io = w.app.registers();
    EXPECT_FALSE(WriteRegister(io, w.app.regs.iXGYRO_OFF, 400).gyroRange);
    for (int32_t avg : {0x0402, 0x0202, 0x0102}) {
        w.driver.clearCommands();
        EXPECT_TRUE(WriteRegister(io, 27, avg).gyroRange);
        ASSERT_EQ(w.driver.commands().size(), 2u);
        EXPECT_EQ(w.driver.commands()[1], (Bytes{0x0D, 0x01, 0x02, 0x38, 0x00, 0x38, 0x00}));
        double sum = 0;
        for (int i = 0; i < 40; ++i) sum += ReadRegister(io, 2).res.RegScaled;
        EXPECT_NEAR(sum / 40, 5.0, 0.2) << avg;
    }
}

std::vector<RegResults> Burst(app::App& app, const Positions& p, transport::Status* met = nullptr) {
    std::vector<RegResults> out(p.size());
    const transport::Status status = ReadRegisterBurst(app.registers(), p, out);
    if (met) *met = status;
    return out;
}

// The burst's results equal single reads of the same positions on a twin.
void ExpectAsSingles(test::SimTestApp& a, test::SimTestApp& b, const Positions& p) {
    const auto burst = Burst(a.app, p);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const RegResults r = ReadRegister(b.app.registers(), p[i]).res;
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

    // 20 readable registers: 15 in a command of 16 frames, then 5 in one of 6; the
    // unreadable GLOB_CMD at the split and positions out of range send nothing.
    Positions p = {-1};
    for (int16_t pos = 0; pos < 20; ++pos) p.push_back(pos);
    p.insert(p.begin() + 16, 31);
    p.push_back(400);
    a.driver.clearCommands();
    b.driver.clearCommands();
    ExpectAsSingles(a, b, p);
    EXPECT_EQ(b.driver.commands().size(), 20u); // single reads: one command per readable one
    const auto& sent = a.driver.commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].size(), 35u);
    EXPECT_EQ(Bytes(sent[0].begin() + 2, sent[0].begin() + 4), (Bytes{16, 0x00}));
    EXPECT_EQ(Bytes(sent[0].begin() + 31, sent[0].end()), (Bytes{0x1E, 0, 0x1E, 0})); // 15th twice
    EXPECT_EQ(Bytes(sent[1].begin() + 2, sent[1].begin() + 4), (Bytes{6, 0x20}));
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
        test::SimTestApp a;
        a.sensor.hold(0x04, 0x8123); // left in the words by the last good read
        EXPECT_EQ(ReadRegister(a.app.registers(), 2).status, transport::Status::Ok);
        a.sensor.hold(0x04, 0x8777);
        arm(a.driver);
        // Nothing is taken from a failed or short reply: every read decodes the old word, as
        // single reads do.
        transport::Status met{};
        for (const RegResults& r : Burst(a.app, p, &met)) EXPECT_EQ(r.RegRaw, 0x8123);
        EXPECT_EQ(transport::StatusText(met), message);
        EXPECT_FALSE(a.app.usb.ready);
        // Skipped silently from then on, until a new search.
        a.driver.clearCommands();
        Burst(a.app, p, &met);
        EXPECT_EQ(met, transport::Status::Skipped);
        EXPECT_TRUE(a.driver.commands().empty());
    }
    test::SimTestApp a, b; // without transport: zero read, nothing sent
    a.app.usb.InterfaceKind = b.app.usb.InterfaceKind = transport::InterfaceNone;
    ExpectAsSingles(a, b, {8, 2, 31});
    EXPECT_EQ(Burst(a.app, {8})[0].RegScaled, 25.0);
    EXPECT_TRUE(a.driver.commands().empty());
}

} // namespace
} // namespace tavrin::registers
