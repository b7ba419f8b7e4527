// tavrin-cli adev: the noise analysis of a log file, without the adapter.
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/Analyse.h"
#include "cli/Commands.h"

namespace tavrin::cli {

namespace {

using nlohmann::json;
namespace an = analysis;

json FigureJson(const an::QuotedFigure& q) {
    if (!q.available) return nullptr;
    return {{"value", q.value}, {"unit", q.unit}, {"tau", q.tau}};
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

json FiguresJson(const an::AnalysisResult& r) {
    json out = json::array();
    for (const auto& c : r.channels) {
        const an::Series& s = c.series;
        out.push_back({{"channel", s.title},
                       {"unit", s.unit},
                       {"samples", s.fresh},
                       {"lines", s.logged},
                       {"tau0", s.tau0},
                       {"tau0_source", SourceName(s.source)},
                       {"tau0_text", an::Tau0Text(s)},
                       {"points", c.curve.size()},
                       {"random_walk", FigureJson(c.quoted.randomWalk)},
                       {"noise_density", FigureJson(c.quoted.noiseDensity)},
                       {"bias_instability", FigureJson(c.quoted.biasInstability)},
                       {"rate_random_walk", FigureJson(c.quoted.rateRandomWalk)}});
    }
    return out;
}

} // namespace

int RunAdev(const GlobalOptions& g, const AdevOptions& o) {
    if (o.rate && !(*o.rate > 0)) throw UsageError{"--rate: the rate must be above 0 Hz"};
    if (o.period && !(*o.period > 0)) throw UsageError{"--period: the period must be above 0 s"};
    an::ReadOptions ro;
    ro.rateHz = o.rate.value_or(0);
    ro.sensorPeriod = o.period.value_or(0);
    ro.channels = o.channels;
    const an::AnalysisResult r = an::AnalyseLog(o.file, ro);
    if (!r.error.empty()) {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return kDeviceFailed;
    }
    if (o.csv) {
        const std::string csv = an::CurveCsvOf(r);
        std::ofstream out(*o.csv, std::ios::binary | std::ios::trunc);
        out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: the curve could not be written\n", o.csv->c_str());
            return kDeviceFailed;
        }
    }
    if (g.json) {
        std::printf("%s\n", FiguresJson(r).dump(2).c_str());
    } else {
        const std::string table = an::FiguresTable(r);
        std::fwrite(table.data(), 1, table.size(), stdout);
    }
    return kOk;
}

} // namespace tavrin::cli
