// imu.yaml from noise figures: the simulator's default model converted by hand.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "analysis/ImuYaml.h"

namespace {

using namespace tavrin::analysis;

// The simulator's noise table: gyroscopes 0.15 deg/sqrt(h) and 1 deg/h/sqrt(h),
// accelerometers 0.03 m/s/sqrt(h) and 0.02 mg/sqrt(h), one sample per millisecond.
ImuYamlInput SimulatorModel() {
    ImuYamlInput in{"ADEV1_1.csv", 1000, {}, {}};
    for (const char* g : {"X Gryo", "Y Gyro", "Z Gyro"})
        in.gyroscopes.push_back({g, FittedFigure{0.15, 0.01, 10}, FittedFigure{1, 100, 1000}});
    for (const char* a : {"X acc", "Y acc", "Z acc"})
        in.accelerometers.push_back(
            {a, FittedFigure{0.03, 0.01, 10}, FittedFigure{0.02, 100, 1000}});
    return in;
}

// Each value against the one expected; every value a number to a YAML 1.1 reader (a point in it).
void ExpectValues(const std::string& text, const std::map<std::string, double>& want) {
    std::istringstream lines(text);
    const std::regex entry(R"(([a-z_]+): ([0-9]+\.[0-9]+(e[-+][0-9]+)?)  # .*)");
    std::size_t seen = 0;
    for (std::string l; std::getline(lines, l);) {
        std::smatch m;
        if (l.starts_with("#")) continue;
        ASSERT_TRUE(std::regex_match(l, m, entry)) << l;
        ASSERT_TRUE(want.count(m[1])) << l;
        EXPECT_NEAR(std::stod(m[2]) / want.at(m[1]), 1, 2e-7) << l;
        ++seen;
    }
    EXPECT_EQ(seen, want.size()) << text;
}

// By hand: 1 deg/h/sqrt(h) = 1/216000 deg/s^2/sqrt(Hz) = 8.0802280e-8 rad/s^2/sqrt(Hz). The
// noisiest axis gives each value, named: 0.2 deg/sqrt(h) = 5.8177642e-5 rad/s/sqrt(Hz),
// 0.05 mg/sqrt(h) = 8.1722083e-6 m/s^3/sqrt(Hz); 6e-4 m/s/sqrt(h) = 1e-5 m/s^2/sqrt(Hz).
TEST(ImuYaml, NoisiestAxisInSiUnits) {
    ImuYamlInput in = SimulatorModel();
    in.gyroscopes[1].randomWalk->value = 0.2;
    in.accelerometers[2].rateRandomWalk->value = 0.05;
    for (auto& a : in.accelerometers) a.randomWalk->value = 6e-4;
    const ImuYamlResult r = ImuYaml(in);
    ASSERT_EQ(r.error, "");
    ExpectValues(r.text, {{"gyroscope_noise_density", 5.8177642e-5},
                          {"gyroscope_random_walk", 8.0802280e-8},
                          {"accelerometer_noise_density", 1e-5},
                          {"accelerometer_random_walk", 8.1722083e-6},
                          {"update_rate", 1000}});
    EXPECT_TRUE(r.text.starts_with("# Noise figures of ADEV1_1.csv")) << r.text;
    EXPECT_NE(r.text.find("fitted over tau 100 to 1000 s"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("N = 0.2 deg/sqrt(h) of Y Gyro"), std::string::npos) << r.text;
}

TEST(ImuYaml, RefusesNamingWhatIsMissing) {
    ImuYamlInput in = SimulatorModel();
    in.updateRateHz = 0;
    in.gyroscopes[2].rateRandomWalk.reset();
    in.accelerometers[0].randomWalk->value = 0;
    ImuYamlResult r = ImuYaml(in);
    EXPECT_EQ(r.text, "");
    EXPECT_TRUE(r.error.ends_with(
        "not available: the update rate, Z Gyro rate random walk K, X acc random walk N"))
        << r.error;
    in = SimulatorModel();
    in.accelerometers.clear();
    EXPECT_TRUE(ImuYaml(in).error.ends_with("not available: an accelerometer"));
}

} // namespace
