// imu.yaml from noise figures: the simulator's default model converted by hand.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "analysis/ImuYaml.h"

namespace {

using namespace tavrin::analysis;

ImuAxisFigures Axis(std::string channel, double n, double k) {
    return {std::move(channel), FittedFigure{n, 0.01, 10}, FittedFigure{k, 100, 1000}};
}

// The simulator's noise table: gyroscopes 0.15 deg/sqrt(h) and 1 deg/h/sqrt(h),
// accelerometers 0.03 m/s/sqrt(h) and 0.02 mg/sqrt(h), one sample per millisecond.
ImuYamlInput SimulatorModel() {
    ImuYamlInput in;
    in.sourceLog = "ADEV1_1.csv";
    in.updateRateHz = 1000;
    for (const char* g : {"X Gryo", "Y Gyro", "Z Gyro"}) in.gyroscopes.push_back(Axis(g, 0.15, 1));
    for (const char* a : {"X acc", "Y acc", "Z acc"})
        in.accelerometers.push_back(Axis(a, 0.03, 0.02));
    return in;
}

// Keys and values; every value a number a YAML 1.1 reader takes as one (a point in it).
std::map<std::string, double> Values(const std::string& text) {
    std::map<std::string, double> out;
    std::istringstream lines(text);
    const std::regex entry(R"(([a-z_]+): ([-+]?[0-9]*\.[0-9]+(e[-+][0-9]+)?)(  #.*)?)");
    for (std::string l; std::getline(lines, l);) {
        if (l.starts_with("#")) continue;
        std::smatch m;
        EXPECT_TRUE(std::regex_match(l, m, entry)) << l;
        if (!m.empty()) out[m[1]] = std::stod(m[2]);
    }
    return out;
}

TEST(ImuYaml, SimulatorModelInSiUnits) {
    const ImuYamlResult r = ImuYaml(SimulatorModel());
    ASSERT_EQ(r.error, "");
    // By hand: 0.15 deg/sqrt(h) = 0.0025 deg/s/sqrt(Hz) = 4.3633231e-5 rad/s/sqrt(Hz);
    // 1 deg/h/sqrt(h) = 1/216000 deg/s^2/sqrt(Hz) = 8.0802280e-8 rad/s^2/sqrt(Hz);
    // 0.03 m/s/sqrt(h) = 5e-4 m/s^2/sqrt(Hz);
    // 0.02 mg/sqrt(h) = 1.961330e-4 m/s^2/sqrt(h) = 3.2688833e-6 m/s^3/sqrt(Hz).
    const std::map<std::string, double> want{{"gyroscope_noise_density", 4.3633231e-5},
                                             {"gyroscope_random_walk", 8.0802280e-8},
                                             {"accelerometer_noise_density", 5e-4},
                                             {"accelerometer_random_walk", 3.2688833e-6},
                                             {"update_rate", 1000}};
    const auto got = Values(r.text);
    ASSERT_EQ(got.size(), want.size()) << r.text;
    for (const auto& [key, value] : want) {
        ASSERT_TRUE(got.count(key)) << key;
        EXPECT_NEAR(got.at(key) / value, 1, 2e-7) << key;
    }
    EXPECT_TRUE(r.text.starts_with("# Noise figures of ADEV1_1.csv")) << r.text;
    EXPECT_NE(r.text.find("fitted over tau 0.01 to 10 s"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("fitted over tau 100 to 1000 s"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("9.80665"), std::string::npos) << r.text;
}

// The noisiest axis gives each value, and the comment names it.
TEST(ImuYaml, LargestAxisCounts) {
    ImuYamlInput in = SimulatorModel();
    in.gyroscopes[1].randomWalk->value = 0.2;          // 5.8177642e-5 rad/s/sqrt(Hz)
    in.accelerometers[2].rateRandomWalk->value = 0.05; // 8.1722083e-6 m/s^3/sqrt(Hz)
    const ImuYamlResult r = ImuYaml(in);
    const auto got = Values(r.text);
    EXPECT_NEAR(got.at("gyroscope_noise_density") / 5.8177642e-5, 1, 2e-7);
    EXPECT_NEAR(got.at("gyroscope_random_walk") / 8.0802280e-8, 1, 2e-7);
    EXPECT_NEAR(got.at("accelerometer_random_walk") / 8.1722083e-6, 1, 2e-7);
    EXPECT_NE(r.text.find("N = 0.2 deg/sqrt(h) of Y Gyro"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("K = 0.05 mg/sqrt(h) of Z acc"), std::string::npos) << r.text;
}

TEST(ImuYaml, RefusesNamingWhatIsMissing) {
    ImuYamlInput in = SimulatorModel();
    in.updateRateHz = 0;
    in.gyroscopes[2].rateRandomWalk.reset();
    in.accelerometers[0].randomWalk->value = 0;
    ImuYamlResult r = ImuYaml(in);
    EXPECT_EQ(r.text, "");
    EXPECT_NE(r.error.find("not available: the update rate, Z Gyro rate random walk K, X acc "
                           "random walk N"),
              std::string::npos)
        << r.error;
    in = SimulatorModel();
    in.accelerometers.clear();
    r = ImuYaml(in);
    EXPECT_EQ(r.text, "");
    EXPECT_NE(r.error.find("not available: an accelerometer"), std::string::npos) << r.error;
}

} // namespace
