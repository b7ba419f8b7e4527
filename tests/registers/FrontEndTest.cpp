#include <gtest/gtest.h>

#include <deque>

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

TEST(FrontEndRead, SendsRequestTwiceAndTakesSecondWord) {
    test::SimTestApp s;
    s.sensor.hold(0x20, 0x1234);
    s.sensor.hold(0x3E, 0xABCD);
    int16_t first = 0x20;
    ReadRegisterWord(s.app, first); // leaves 0x1234 to be clocked out next
    s.driver.clearCommands();

    int16_t address = 0xBE;
    EXPECT_EQ(ReadRegisterWord(s.app, address), 0xABCD);
    EXPECT_EQ(address, 0x3E);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x3E, 0x00, 0x3E, 0x00}}));
    EXPECT_EQ(s.app.usb.SpiInWords[1], 0x1234);
    EXPECT_EQ(s.app.usb.SpiInWords[2], 0xABCD);
    EXPECT_EQ(s.driver.openHandles(), 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

TEST(FrontEndRead, DecodesScalesAndKeepsNewDataBit) {
    struct Row {
        int16_t pos;
        uint16_t addr, word;
        int32_t value, ndBit; // ndBit -1: not checked
        double scaled, tol;   // tol 0: not checked
    };
    const Row rows[] = {
        {2, 0x04, 0x3FFF, -1, 0, -static_cast<double>(0.07326f), 1e-12}, // 14-bit two's complement
        {2, 0x04, 0xDFFF, 8191, 32768, 0, 0},     // flag bits never enter the value
        {0, 0x00, 0x8123, 0x8123, 32768, 0, 0},   // FLSH_CNT has no new-data flag: RegNDBit stays
        {8, 0x10, 0x0FFF, -1, -1, 24.8547, 1e-4}, // XTEMP_OUT: 12-bit, offset 25
        {1, 0x02, 0xCFFF, 4095, -1, 0, 0},        // SUPPLY_OUT unsigned 12-bit
    };
    test::SimTestApp s; // standard table, table scales
    for (const Row& r : rows) {
        s.sensor.hold(r.addr, r.word);
        ReadRegister(s.app, r.pos);
        EXPECT_EQ(s.app.res.RegRaw, r.word) << r.pos;
        EXPECT_EQ(s.app.res.RegValue, r.value) << r.pos;
        if (r.ndBit >= 0) {
            EXPECT_EQ(s.app.res.RegNDBit, r.ndBit) << r.pos;
        }
        if (r.tol > 0) {
            EXPECT_NEAR(s.app.res.RegScaled, r.scaled, r.tol) << r.pos;
        }
    }
}

TEST(FrontEndRead, UnreadablePositionsSendNothingAndKeepResults) {
    test::SimTestApp s;
    s.sensor.hold(0x04, 0x0005);
    ReadRegister(s.app, 2);
    s.driver.clearCommands();
    const RegResults before = s.app.res;

    for (int16_t pos : {31, 29}) ReadRegister(s.app, pos); // GLOB_CMD, CONT_SLP
    for (int16_t pos : {-1, 297, 32000}) {
        ReadRegister(s.app, pos);
        WriteRegister(s.app, pos, 0x1234);
    }
    EXPECT_TRUE(s.driver.commands().empty());
    EXPECT_EQ(s.app.res.RegRaw, before.RegRaw);
    EXPECT_EQ(s.app.res.RegValue, before.RegValue);
    EXPECT_EQ(s.app.res.RegScaled, before.RegScaled);

    // The placeholder of the 41040 table is not readable either.
    test::SimTestApp m(41040);
    ReadRegister(m.app, 1);
    EXPECT_TRUE(m.driver.commands().empty());
}

TEST(FrontEndRead, WithoutTransportReadsZeroAndWritesNothing) {
    test::SimTestApp s;
    s.app.usb.InterfaceKind = InterfaceNone;
    int16_t a = 0x10;
    EXPECT_EQ(ReadRegisterWord(s.app, a), 0);
    ReadRegister(s.app, 8);
    EXPECT_EQ(s.app.res.RegScaled, 25.0); // the temperature offset alone
    WriteRegister(s.app, 12, 0x1234);
    WriteRegister(s.app, 20, 0x12);
    EXPECT_TRUE(s.driver.commands().empty());
}

TEST(FrontEndWrite, FramesOrderAndWait) {
    test::SimTestApp s;
    s.app.regs.RegisterTable[35].Address = 0x16;
    ASSERT_EQ(s.app.regs.RegisterTable[11].Address, 0x16);
    // 16-bit registers high byte first (position 35 low byte first), then 0.1 ms.
    WriteRegister(s.app, 11, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 10);
    WriteRegister(s.app, 35, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 20);
    WriteRegister(s.app, 20, 0x1FF); // ALM_SMPL1 at 0x2A, 8 bits: one frame, no wait
    EXPECT_EQ(s.t.delaySteps, 20);
    EXPECT_EQ(s.sensor.word(0x2A) & 0xFF, 0xFF);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x97, 0x12, 0x96, 0x34},
                                        {0x0D, 0x01, 0x02, 0x96, 0x34, 0x97, 0x12},
                                        {0x0D, 0x01, 0x01, 0xAA, 0xFF}}));
}

TEST(FrontEndWrite, FramePairMasksCallersVariables) {
    test::SimTestApp s;
    int16_t a1 = 0xC0, b1 = 0x1AB, a2 = 0x41, b2 = -1;
    WriteFramePair(s.app, a1, b1, a2, b2);
    EXPECT_EQ((std::vector<int16_t>{a1, b1, a2, b2}),
              (std::vector<int16_t>{0x40, 0xAB, 0x41, 0xFF}));
    EXPECT_EQ(s.driver.commands().back(), (Bytes{0x0D, 0x01, 0x02, 0xC0, 0xAB, 0xC1, 0xFF}));
}

TEST(FrontEndWrite, ValuesReachTheSensor) {
    test::SimTestApp s;
    WriteRegister(s.app, s.app.regs.iZACCL_OFF, -300);
    EXPECT_EQ(s.sensor.word(0x24), 0xFED4);
    const int before = s.sensor.flashCount();
    WriteRegister(s.app, s.app.regs.iGLOB_CMD, 8);
    EXPECT_EQ(s.sensor.flashCount(), before + 1);
}

TEST(GyroScale, RangeCodeSelectsScaleAndResetsChartLimits) {
    test::SimTestApp s;
    s.app.model.GyroBaseScale = 0.05;
    const double expected[8] = {0, 0.0125, 0.025, 0, 0.05, 0, 0, 0};
    for (int code = 0; code < 8; ++code) {
        s.sensor.hold(0x38, static_cast<uint16_t>(code << 8 | 0x02));
        s.app.plot.GyPlotMax = s.app.plot.GyPlotMin = 1;
        UpdateGyroScale(s.app);
        for (int p = 2; p <= 4; ++p)
            EXPECT_EQ(s.app.regs.RegisterTable[p].RegScale, static_cast<float>(expected[code]))
                << "code " << code << " position " << p;
        EXPECT_EQ(s.app.plot.GyPlotMax, 350);
        EXPECT_EQ(s.app.plot.GyPlotMin, -350);
    }
}

TEST(GyroScale, WritingSensAvgUpdatesScale) {
    test::SimTestApp s(41190);
    s.app.model.GyroBaseScale = 0.2;
    WriteRegister(s.app, s.app.regs.iSENS_AVG, 0x0102);
    EXPECT_EQ(s.sensor.word(0x38), 0x0102);
    EXPECT_EQ(s.app.regs.RegisterTable[3].RegScale, 0.05f);
    // The write's own frames, then the read of SENS_AVG.
    ASSERT_EQ(s.driver.commands().size(), 2u);
    EXPECT_EQ(s.driver.commands()[1], (Bytes{0x0D, 0x01, 0x02, 0x38, 0x00, 0x38, 0x00}));
}

} // namespace
} // namespace tavrin
