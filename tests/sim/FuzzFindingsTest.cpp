// Inputs the fuzzers found, kept as regression tests.
#include <gtest/gtest.h>

#include "sim/SimConfig.h"

using namespace tavrin::sim;

using namespace tavrin;

TEST(SimConfigFindings, ControlCharactersInTheTextStillGiveOneLine) {
    std::string error;
    const std::string text("0:41120,241\x01\n90", 16);
    EXPECT_EQ(MakeSimDriverFromText(text, error), nullptr);
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(error.find('\x01'), std::string::npos) << error;
    EXPECT_NE(error.find("241\\x01\\x0A90"), std::string::npos) << error;
}
