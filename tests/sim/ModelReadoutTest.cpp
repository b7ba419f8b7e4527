#include <gtest/gtest.h>

#include <cmath>

#include "SimTestApp.h"
#include "app/Model.h"
#include "transport/FrontEnd.h"

namespace tavrin {
namespace {

// Model selection as the program does it, without a window.
void ApplyModelScales(App& app, float model) {
    struct : DeviceDisplay {
        void uncheckAllModels() override {}
        void checkModel(int) override {}
        void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
        void showDeviceCaption(const std::string&) override {}
    } none;
    SetDevice(app, model, none);
}

double Read(App& app, int16_t pos) {
    ReadRegister(app, pos);
    return app.res.RegScaled;
}

TEST(ModelReadout, EveryModelReadsLikeASensorAtRest) {
    for (float model : {41040.f, 41120.f, 41140.f, 41160.f, 41170.f, 41190.f}) {
        SCOPED_TRACE(model);
        test::SimTestApp s(model);
        ReadRawRegister(s.app, 0x56);
        EXPECT_EQ(s.app.res.RegValue, static_cast<int32_t>(model));
        ApplyModelScales(s.app, model);
        const double gyroScale = model == 41190.f ? 0.2 : 0.05;
        EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, static_cast<float>(gyroScale));

        RegisterMap& m = s.app.regs;
        double zSum = 0;
        int fresh = 0;
        for (int pass = 0; pass < 50; ++pass) {
            for (int16_t g : {m.iXGYRO_OUT, m.iYGYRO_OUT, m.iZGYRO_OUT})
                EXPECT_LT(std::abs(Read(s.app, g)), 1.5);
            EXPECT_LT(std::abs(Read(s.app, m.iXACCL_OUT)), 0.02);
            EXPECT_LT(std::abs(Read(s.app, m.iYACCL_OUT)), 0.02);
            const double z = Read(s.app, m.iZACCL_OUT);
            EXPECT_NEAR(z, 1.0, 0.02);
            zSum += z;
            fresh += s.app.res.RegNDBit == 32768;
            EXPECT_NEAR(Read(s.app, m.iXTEMP_OUT), 25.0, 1.0);
            if (model != 41040.f) {
                EXPECT_NEAR(Read(s.app, m.iSUPPLY_OUT), 5.0, 0.03);
                EXPECT_NEAR(Read(s.app, m.iYTEMP_OUT), 25.0, 1.0);
                EXPECT_NEAR(Read(s.app, m.iZTEMP_OUT), 25.0, 1.0);
            }
        }
        // Shown with two decimals, the vertical axis reads 1.00 g.
        EXPECT_NEAR(zSum / 50, 1.0, 0.005);
        // A pass takes longer than a sample period, so every pass sees a new sample.
        EXPECT_EQ(fresh, 50);
        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(s.driver.openHandles(), 0);
    }
}

TEST(ModelReadout, GyroscopeRangeAndOffsetThroughTheProgram) {
    test::SimTestApp s(41120);
    ApplyModelScales(s.app, 41120);
    RegisterMap& m = s.app.regs;
    WriteRegister(s.app, m.iXGYRO_OFF, 400); // 5 deg/s
    for (int32_t avg : {0x0402, 0x0202, 0x0102}) {
        WriteRegister(s.app, m.iSENS_AVG, avg);
        double sum = 0;
        for (int i = 0; i < 40; ++i) sum += Read(s.app, m.iXGYRO_OUT);
        // The same rate reads the same in every range once the scale follows.
        EXPECT_NEAR(sum / 40, 5.0, 0.2) << std::hex << avg;
    }
}

} // namespace
} // namespace tavrin
