#include "analysis/ImuYaml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "analysis/Allan.h"

namespace tavrin::analysis {

namespace {

// Scientific with a point in the mantissa: YAML 1.1 readers take "5e-04" for a string.
std::string YamlNumber(double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 9);
    return std::string(buf, r.ptr);
}

bool Usable(const std::optional<FittedFigure>& f) {
    return f && f->value > 0 && std::isfinite(f->value);
}

struct Pick {
    const ImuAxisFigures* axis = nullptr;
    const FittedFigure* figure = nullptr;
};

// The largest of the axes' figures.
Pick Largest(const std::vector<ImuAxisFigures>& axes,
             std::optional<FittedFigure> ImuAxisFigures::*which) {
    Pick p;
    for (const auto& a : axes)
        if (!p.figure || (a.*which)->value > p.figure->value) p = {&a, &*(a.*which)};
    return p;
}

std::string Line(const char* key, double si, const char* siUnit, const char* letter, const Pick& p,
                 const char* unit) {
    return std::string(key) + ": " + YamlNumber(si) + "  # " + siUnit + "; " + letter + " = " +
           NumberText(p.figure->value) + " " + unit + " of " + p.axis->channel +
           ", fitted over tau " + NumberText(p.figure->tauMin) + " to " +
           NumberText(p.figure->tauMax) + " s\n";
}

} // namespace

ImuYamlResult ImuYaml(const ImuYamlInput& in) {
    ImuYamlResult r;
    std::string missing;
    auto need = [&](const std::string& what) { missing += (missing.empty() ? "" : ", ") + what; };
    if (!(in.updateRateHz > 0) || !std::isfinite(in.updateRateHz)) need("the update rate");
    if (in.gyroscopes.empty()) need("a gyroscope");
    if (in.accelerometers.empty()) need("an accelerometer");
    for (const auto* axes : {&in.gyroscopes, &in.accelerometers})
        for (const auto& a : *axes) {
            if (!Usable(a.randomWalk)) need(a.channel + " random walk N");
            if (!Usable(a.rateRandomWalk)) need(a.channel + " rate random walk K");
        }
    if (!missing.empty()) {
        r.error = "imu.yaml needs the random walk N and rate random walk K of every gyroscope "
                  "and accelerometer axis, and the update rate; not available: " +
                  missing;
        return r;
    }
    constexpr double kRad = std::numbers::pi / 180;
    const Pick gN = Largest(in.gyroscopes, &ImuAxisFigures::randomWalk);
    const Pick gK = Largest(in.gyroscopes, &ImuAxisFigures::rateRandomWalk);
    const Pick aN = Largest(in.accelerometers, &ImuAxisFigures::randomWalk);
    const Pick aK = Largest(in.accelerometers, &ImuAxisFigures::rateRandomWalk);
    std::string& t = r.text;
    t = "# Noise figures of " + in.sourceLog +
        " from the Allan deviation fit, the largest of the axes.\n"
        "# Conversion: per sqrt(h) / 60 = per sqrt(s) = per sqrt(Hz); per h / 3600 = per s;\n"
        "# deg * pi/180 = rad; mg * 9.80665e-3 = m/s^2.\n";
    t += Line("gyroscope_noise_density", gN.figure->value * kRad / 60, "rad/s/sqrt(Hz)", "N", gN,
              "deg/sqrt(h)");
    t += Line("gyroscope_random_walk", gK.figure->value * kRad / 3600 / 60, "rad/s^2/sqrt(Hz)", "K",
              gK, "deg/h/sqrt(h)");
    t += Line("accelerometer_noise_density", aN.figure->value / 60, "m/s^2/sqrt(Hz)", "N", aN,
              "m/s/sqrt(h)");
    t += Line("accelerometer_random_walk", aK.figure->value * 1e-3 * kStandardGravity / 60,
              "m/s^3/sqrt(Hz)", "K", aK, "mg/sqrt(h)");
    std::string rate = NumberText(in.updateRateHz);
    if (rate.find_first_of(".e") == rate.npos) rate += ".0";
    if (rate.find('.') == rate.npos) rate = YamlNumber(in.updateRateHz);
    t += "update_rate: " + rate + "  # Hz\n";
    return r;
}

ImuYamlInput ImuYamlInputOf(const AnalysisResult& r, const std::string& sourceLog) {
    ImuYamlInput in;
    in.sourceLog = sourceLog;
    double slowest = 0;
    const auto figure = [](const Quoted& q) -> std::optional<FittedFigure> {
        if (!q.available) return std::nullopt;
        return FittedFigure{q.value, q.from, q.to};
    };
    for (const ChannelResult& c : r.channels) {
        const Quantity q = c.series.quantity;
        if (q == Quantity::Other) continue;
        auto& axes = q == Quantity::Rate ? in.gyroscopes : in.accelerometers;
        const auto& fit = c.quoted.fit;
        axes.push_back({c.series.title, figure(fit[static_cast<int>(Term::RandomWalk)]),
                        figure(fit[static_cast<int>(Term::RateRandomWalk)])});
        slowest = std::max(slowest, c.series.tau0);
    }
    in.updateRateHz = slowest > 0 ? 1 / slowest : 0;
    return in;
}

} // namespace tavrin::analysis
