#include <gtest/gtest.h>

#include "TestApp.h"
#include "sim/SimConfig.h"
#include "sim/SimDriver.h"
#include "transport/UsbSpi.h"

namespace tavrin::sim {
namespace {

TEST(SimConfig, PutsAdaptersOnTheNamedSlots) {
    std::string error = "old";
    auto one = MakeSimDriverFromText("41120", error);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(error, "");
    auto* d = dynamic_cast<SimDriver*>(one.get());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->hasAdapter(0));
    EXPECT_EQ(d->sensor(0).word(0x56), 41120);

    auto two = MakeSimDriverFromText("0:41120, 2 : 41190", error);
    ASSERT_NE(two, nullptr);
    d = dynamic_cast<SimDriver*>(two.get());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d->hasAdapter(k), k % 2 == 0) << k;
    EXPECT_EQ(d->sensor(2).word(0x56), 41190);
    EXPECT_EQ(d->sensor(2).model(), 41190.f);

    // The program finds them as high-speed adapters of the first kind.
    test::TestApp t(two.get());
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_EQ(t.app.drv.UsbDevices[2].BoardType, "VORLA");
    EXPECT_EQ(t.app.drv.UsbDevices[2].Speed, "2");
    EXPECT_TRUE(t.messages.shown.empty());
}

TEST(SimConfig, MalformedTextNamesTheBadPart) {
    struct Case {
        const char* text;
        const char* mentions;
    };
    for (const Case& c :
         {Case{"", "empty part"}, Case{"0:41120,", "empty part"},
          Case{"0:41120,,1:41140", "empty part"}, Case{"4:41120", "\"4\""},
          Case{"-1:41120", "\"-1\""}, Case{"x:41120", "\"x\""},
          Case{"0:41120,0:41190", "slot 0 given twice"}, Case{"41120,41190", "slot 0 given twice"},
          Case{"abc", "\"abc\""}, Case{"0:", "\"0:\""}, Case{"0:411x0", "\"411x0\""},
          Case{"1:0", "\"0\""}, Case{"70000", "\"70000\""}}) {
        std::string error;
        EXPECT_EQ(MakeSimDriverFromText(c.text, error), nullptr) << c.text;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace tavrin::sim
