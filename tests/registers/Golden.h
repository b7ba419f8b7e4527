#pragma once
// Files under tests/data: expected outputs compared byte for byte, and transcribed tables.
// TAVRIN_REGEN_GOLDEN=1 rewrites the expected outputs from what the program gives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tavrin::test {

inline std::string ReadData(const std::string& name) {
    std::ostringstream s;
    s << std::ifstream(std::string(TAVRIN_TEST_DATA) + "/" + name, std::ios::binary).rdbuf();
    return s.str();
}

inline void ExpectGolden(const std::string& name, const std::string& actual) {
    if (std::getenv("TAVRIN_REGEN_GOLDEN"))
        std::ofstream(std::string(TAVRIN_TEST_DATA) + "/" + name, std::ios::binary) << actual;
    EXPECT_EQ(actual, ReadData(name)) << "differs from tests/data/" << name;
}

} // namespace tavrin::test
