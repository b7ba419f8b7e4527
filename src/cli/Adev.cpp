// tavrin-cli adev: the noise analysis of a log file, without the adapter.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "analysis/Analyse.h"
#include "analysis/ImuYaml.h"
#include "base/NumberText.h"
#include "base/SafeFile.h"
#include "cli/Commands.h"

namespace tavrin::cli {

namespace {

using nlohmann::json;
namespace an = analysis;

json FigureJson(const an::Quoted& q) {
    if (!q.available) return nullptr;
    return {{"value", q.value}, {"unit", q.unit}, {"tau", q.tau}};
}

json TermJson(const an::Quoted& q) {
    if (!q.available) return nullptr;
    return {{"value", q.value},
            {"uncertainty", q.uncertainty},
            {"unit", q.unit},
            {"dominant_from_tau", q.from},
            {"dominant_to_tau", q.to}};
}

const char* SourceName(an::Tau0Source s) {
    switch (s) {
    case an::Tau0Source::LogHeader:
        return "log header";
    case an::Tau0Source::GivenRate:
        return "given rate";
    case an::Tau0Source::SensorPeriod:
        return "sensor sample period";
    case an::Tau0Source::NewDataCount:
        return "new samples over logged time";
    }
    return "";
}

// The sensor's samples: the period, how many the time logged held, how many were used.
void AddAccounting(const an::Accounting& a, long long used, json& out) {
    out["sensor_period_s"] = a.known ? json(a.sensorPeriod) : json(nullptr);
    out["samples_expected"] = a.known ? json(a.expected) : json(nullptr);
    out["samples_used"] = used;
    out["caught"] = a.known ? json(a.caught) : json(nullptr);
}

json ChannelJson(const an::ChannelResult& c) {
    const an::Series& s = c.series;
    json out = {{"channel", s.title},
                {"unit", s.unit},
                {"samples", s.fresh},
                {"lines", s.logged},
                {"tau0", s.tau0},
                {"tau0_source", SourceName(s.source)},
                {"tau0_text", an::Tau0Text(s)},
                {"points", c.curve.points.size()}};
    AddAccounting(c.accounting, s.fresh, out);
    if (c.status != an::ChannelStatus::Ok) out["not_available"] = an::StatusText(c);
    const auto& q = c.quoted;
    static constexpr const char* kKeys[] = {"quantization", "random_walk", "bias_instability",
                                            "rate_random_walk", "rate_ramp"};
    json fit = json::object();
    for (int k = 0; k < an::kTerms; ++k) fit[kKeys[k]] = TermJson(q.fit[k]);
    fit["noise_density"] = TermJson(q.noiseDensity);
    out["fit"] = fit;
    out["single_point"] = {{"random_walk", FigureJson(q.randomWalk)},
                           {"bias_instability", FigureJson(q.biasInstability)},
                           {"rate_random_walk", FigureJson(q.rateRandomWalk)}};
    return out;
}

// "all", "octave", "decade" or a number of points per decade.
an::TauChoice TauChoiceOf(const AdevOptions& o) {
    an::TauChoice t;
    if (o.minClusters) {
        if (*o.minClusters < 2 || *o.minClusters > 1000000000)
            throw UsageError{"--min-clusters: from 2 to 1000000000"};
        t.minClusters = *o.minClusters;
    }
    const std::string& s = o.taus;
    if (s == "all") {
        t.spacing = an::TauSpacing::All;
    } else if (s == "octave") {
        t.spacing = an::TauSpacing::Octave;
    } else if (s == "decade") {
        t.spacing = an::TauSpacing::Decade;
    } else {
        int n = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), n);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || n < 1 || n > an::kMaxPerDecade)
            throw UsageError{"--taus: " + base::QuotedInput(s) +
                             " is none of all, octave, decade or a number of points per decade "
                             "from 1 to 1000"};
        t.perDecade = n;
    }
    return t;
}

an::AnalysisOptions OptionsOf(const AdevOptions& o) {
    // Finite and within what a logging rate or a sensor's period can be.
    if (o.rate && !(*o.rate > 0 && *o.rate <= 1e9))
        throw UsageError{"--rate: the rate must be above 0 and at most 1e9 Hz"};
    if (o.period && !(*o.period >= 1e-9 && *o.period <= 1e6))
        throw UsageError{"--period: the period must be from 1e-9 to 1e6 s"};
    an::AnalysisOptions ao;
    ao.read.rateHz = o.rate.value_or(0);
    ao.read.sensorPeriod = o.period.value_or(0);
    ao.read.channels = o.channels;
    ao.taus = TauChoiceOf(o);
    return ao;
}

// The fitted figures as imu.yaml; false with the reason on standard error.
bool WriteImuYaml(const an::AnalysisResult& r, const AdevOptions& o, const std::string& name) {
    const an::ImuYamlResult y = an::ImuYaml(an::ImuYamlInputOf(r, name));
    std::string error = y.error.empty() ? "" : base::QuotedInput(name) + ": " + y.error;
    if (error.empty() && base::WriteOutputFile(*o.imuYaml, y.text, error, {o.file})) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

} // namespace

int RunAdev(const GlobalOptions& g, const AdevOptions& o) {
    if (o.csv == "-" && o.imuYaml == "-")
        throw UsageError{"--csv and --imu-yaml cannot both be standard output"};
    const an::AnalysisOptions ao = OptionsOf(o);
    const an::AnalysisResult r = an::AnalyseLog(o.file, ao);
    const std::string name = std::filesystem::path(o.file).filename().string();
    if (!r.problem.ok()) {
        std::fprintf(stderr, "%s\n", an::ProblemText(base::QuotedInput(name), r.problem).c_str());
        return kDeviceFailed;
    }
    bool missing = false;
    for (const auto& c : r.channels) {
        if (const std::string w = an::DecimationWarning(c); !w.empty())
            std::fprintf(stderr, "%s\n", w.c_str());
        if (c.status == an::ChannelStatus::NoNewSamples) {
            std::fprintf(stderr, "%s: %s\n", c.series.title.c_str(), an::StatusText(c).c_str());
            missing = true;
        }
    }
    if (o.csv) {
        std::string error;
        if (!base::WriteOutputFile(*o.csv, an::CurveCsvOf(r), error, {o.file})) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kDeviceFailed;
        }
    }
    if (o.imuYaml && !WriteImuYaml(r, o, name)) return kDeviceFailed;
    // The curve or the figures on standard output are the output.
    if (o.csv == "-" || o.imuYaml == "-") return missing ? kDeviceFailed : kOk;
    if (g.json) {
        json out = json::array();
        for (const auto& c : r.channels) out.push_back(ChannelJson(c));
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        const std::string table = an::FiguresTable(r);
        std::fwrite(table.data(), 1, table.size(), stdout);
    }
    return missing ? kDeviceFailed : kOk;
}

} // namespace tavrin::cli
