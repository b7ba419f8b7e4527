// The register front end: positions in, adapter frames out, results in App::res.
#include <gtest/gtest.h>

#include <deque>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"

using namespace tavrin::registers;
using namespace tavrin::transport;

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
    EXPECT_EQ(s.driver.openHandles(), 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

TEST(FrontEndRead, DecodesScalesAndKeepsNewDataBit) {
    // In this order: the new-data bit is cleared by a read without it, and kept by a
    // register that has no new-data flag (FLSH_CNT).
    const struct {
        int16_t pos;
        uint16_t addr, word;
        int32_t value, ndBit;
        double scaled;
    } rows[] = {
        {2, 0x04, 0xDFFF, 8191, 32768, 8191 * 0.07326},
        {2, 0x04, 0x3FFF, -1, 0, -0.07326},
        {2, 0x04, 0x9FFF, 8191, 32768, 8191 * 0.07326},
        {0, 0x00, 0x0123, 0x123, 32768, 0x123},
        {8, 0x10, 0x0FFF, -1, 0, 24.8547},
        {1, 0x02, 0xCFFF, 4095, 32768, 7.49999},
    };
    test::SimTestApp s; // standard table, table scales
    for (const auto& r : rows) {
        s.sensor.hold(r.addr, r.word);
        ReadRegister(s.app, r.pos);
        EXPECT_EQ(s.app.res.RegRaw, r.word) << r.word;
        EXPECT_EQ(s.app.res.RegValue, r.value) << r.word;
        EXPECT_EQ(s.app.res.RegNDBit, r.ndBit) << r.word;
        EXPECT_NEAR(s.app.res.RegScaled, r.scaled, 1e-4) << r.word;
    }
}

TEST(FrontEndRead, UnreadablePositionsAndNoTransportSendNothing) {
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
    EXPECT_EQ(std::tie(s.app.res.RegRaw, s.app.res.RegValue, s.app.res.RegScaled),
              std::tie(before.RegRaw, before.RegValue, before.RegScaled));

    test::SimTestApp m(41040); // its placeholder is not readable either
    ReadRegister(m.app, 1);
    EXPECT_TRUE(m.driver.commands().empty());

    s.app.usb.InterfaceKind = InterfaceNone;
    int16_t a = 0x10;
    EXPECT_EQ(ReadRegisterWord(s.app, a), 0);
    ReadRegister(s.app, 8);
    EXPECT_EQ(s.app.res.RegScaled, 25.0); // the temperature offset alone
    WriteRegister(s.app, 12, 0x1234);
    WriteRegister(s.app, 20, 0x12);
    EXPECT_TRUE(s.driver.commands().empty());
}

TEST(FrontEndWrite, FramesOrderWaitAndMasks) {
    test::SimTestApp s;
    s.app.regs.RegisterTable[35].Address = 0x16;
    // 16-bit registers high byte first (position 35 low byte first), then 0.1 ms.
    WriteRegister(s.app, 11, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 10);
    WriteRegister(s.app, 35, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 20);
    WriteRegister(s.app, 20, 0x1FF); // ALM_SMPL1 at 0x2A, 8 bits: one frame, no wait
    EXPECT_EQ(s.t.delaySteps, 20);
    EXPECT_EQ(s.sensor.word(0x2A) & 0xFF, 0xFF);
    int16_t a1 = 0xC0, b1 = 0x1AB, a2 = 0x41, b2 = -1;
    WriteFramePair(s.app, a1, b1, a2, b2);
    EXPECT_EQ((std::vector<int16_t>{a1, b1, a2, b2}),
              (std::vector<int16_t>{0x40, 0xAB, 0x41, 0xFF}));
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x97, 0x12, 0x96, 0x34},
                                        {0x0D, 0x01, 0x02, 0x96, 0x34, 0x97, 0x12},
                                        {0x0D, 0x01, 0x01, 0xAA, 0xFF},
                                        {0x0D, 0x01, 0x02, 0xC0, 0xAB, 0xC1, 0xFF}}));

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
    // Writing SENS_AVG reads the range back: the write's own frames, then the read.
    test::SimTestApp w(41190);
    w.app.model.GyroBaseScale = 0.2;
    WriteRegister(w.app, 27, 0x0102);
    EXPECT_EQ(w.sensor.word(0x38), 0x0102);
    EXPECT_EQ(w.app.regs.RegisterTable[3].RegScale, 0.05f);
    ASSERT_EQ(w.driver.commands().size(), 2u);
    EXPECT_EQ(w.driver.commands()[1], (Bytes{0x0D, 0x01, 0x02, 0x38, 0x00, 0x38, 0x00}));
}

} // namespace
} // namespace tavrin
