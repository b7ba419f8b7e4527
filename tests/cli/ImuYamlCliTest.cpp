// tavrin-cli adev --imu-yaml: the fitted figures, converted, into a file or onto standard
// output; refused, naming what is missing, when the fit lacks a figure.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <numbers>
#include <random>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

// A gyroscope and an accelerometer at 1 kHz, each white noise N and a rate random walk K
// crossing at 1 s: both terms resolved in 400 s.
void WriteLog(const std::filesystem::path& file, int lines) {
    std::mt19937_64 g(17);
    std::normal_distribution<double> unit;
    const double dt = 0.001, n[2] = {0.0025, 5e-5};
    double walk[2] = {0, 0};
    std::ofstream out(file, std::ios::binary);
    out << "Sample #,X Gryo,X acc,\r\n";
    out.precision(15);
    for (int i = 1; i <= lines; ++i) {
        out << i << ",";
        for (int c = 0; c < 2; ++c) {
            walk[c] += std::sqrt(3.0) * n[c] * std::sqrt(dt) * unit(g);
            out << n[c] / std::sqrt(dt) * unit(g) + walk[c] << ",";
        }
        out << "\r\n";
    }
}

std::map<std::string, double> YamlValues(const std::string& text) {
    std::map<std::string, double> v;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);)
        if (!l.starts_with("#") && l.find(": ") != std::string::npos)
            v[l.substr(0, l.find(": "))] = std::stod(l.substr(l.find(": ") + 2));
    return v;
}

TEST(CliImuYaml, FittedFiguresConvertedIntoAFileOrOntoStandardOutput) {
    ScratchDir dir;
    const std::string log = (dir.path / "still.csv").string();
    WriteLog(log, 400000);
    const std::string yaml = (dir.path / "imu.yaml").string();
    const CliResult figures = RunCli({"--json", "adev", log, "--rate", "1000"});
    ASSERT_EQ(figures.status, 0) << figures.err;
    const auto json = nlohmann::json::parse(figures.out);
    const auto fitted = [&](int channel, const char* term) {
        return json.at(channel).at("fit").at(term).at("value").get<double>();
    };
    CliResult r = RunCli({"adev", log, "--rate", "1000", "--imu-yaml", yaml});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("X Gryo"), std::string::npos); // the figures table as without it
    const std::string text = dir.read("imu.yaml");
    EXPECT_TRUE(text.starts_with("# Noise figures of still.csv")) << text;
    // deg/sqrt(h) and deg/h/sqrt(h) to rad/s/sqrt(Hz) and rad/s^2/sqrt(Hz); m/s/sqrt(h) and
    // mg/sqrt(h) to m/s^2/sqrt(Hz) and m/s^3/sqrt(Hz).
    const double rad = std::numbers::pi / 180;
    const std::map<std::string, double> want = {
        {"gyroscope_noise_density", fitted(0, "random_walk") * rad / 60},
        {"gyroscope_random_walk", fitted(0, "rate_random_walk") * rad / 3600 / 60},
        {"accelerometer_noise_density", fitted(1, "random_walk") / 60},
        {"accelerometer_random_walk", fitted(1, "rate_random_walk") * 9.80665e-3 / 60},
        {"update_rate", 1000}};
    const auto got = YamlValues(text);
    ASSERT_EQ(got.size(), want.size()) << text;
    for (const auto& [key, value] : want) EXPECT_NEAR(got.at(key) / value, 1, 1e-8) << key;

    r = RunCli({"adev", log, "--rate", "1000", "--imu-yaml", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, text);
    r = RunCli({"adev", log, "--rate", "1000", "--imu-yaml", "-", "--csv", "-"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot both be standard output"), std::string::npos) << r.err;
    const std::string before = dir.read("still.csv");
    r = RunCli({"adev", log, "--rate", "1000", "--imu-yaml", log});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("still.csv"), before);
}

// 20 s of it: the random walk K is not resolved, and no file is made.
TEST(CliImuYaml, RefusedNamingTheFiguresMissing) {
    ScratchDir dir;
    const std::string log = (dir.path / "short.csv").string();
    WriteLog(log, 20000);
    const CliResult r =
        RunCli({"adev", log, "--rate", "1000", "--imu-yaml", (dir.path / "imu.yaml").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("\"short.csv\": imu.yaml needs the random walk N and rate "
                                  "random walk K"))
        << r.err;
    EXPECT_NE(r.err.find("not available: X Gryo rate random walk K, X acc rate random walk K\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(dir.names(), Lines{"short.csv"});
}

} // namespace
