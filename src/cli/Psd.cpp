// tavrin-cli psd: the noise spectrum of a log file, without the adapter.
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "analysis/Psd.h"
#include "base/SafeFile.h"
#include "cli/Commands.h"

namespace tavrin::cli {

namespace {

using nlohmann::json;
namespace an = analysis;

json SpectrumJson(const an::SpectrumResult& r) {
    json out = json::array();
    for (const auto& c : r.channels) {
        const an::Series& ser = c.series;
        const an::Spectrum& s = c.spectrum;
        json f = json::array();
        for (std::size_t i = 0; i < s.density.size(); ++i) f.push_back(s.frequency(i));
        const auto top = std::max_element(s.density.begin(), s.density.end());
        const auto at = static_cast<std::size_t>(top - s.density.begin());
        out.push_back({{"channel", ser.title},
                       {"unit", ser.unit},
                       {"density_unit", an::DensityUnit(ser.unit)},
                       {"samples", ser.fresh},
                       {"lines", ser.logged},
                       {"tau0", ser.tau0},
                       {"tau0_text", an::Tau0Text(ser)},
                       {"sample_rate", s.sampleRate},
                       {"segment", s.segment},
                       {"segments", s.segments},
                       {"unused", s.unused()},
                       {"resolution", s.resolution()},
                       {"window", "hann"},
                       {"overlap", 0.5},
                       {"detrend", "mean"},
                       {"rms", s.rms()},
                       {"peak", {{"frequency", s.frequency(at)}, {"density", *top}}},
                       {"frequency", std::move(f)},
                       {"density", s.density}});
    }
    return out;
}

} // namespace

int RunPsd(const GlobalOptions& g, const PsdOptions& o) {
    if (o.rate && !(*o.rate > 0)) throw UsageError{"--rate: the rate must be above 0 Hz"};
    if (o.period && !(*o.period > 0)) throw UsageError{"--period: the period must be above 0 s"};
    if (o.segment && !an::IsSegmentLength(*o.segment))
        throw UsageError{"--segment: " + std::to_string(*o.segment) +
                         " is not a power of two from " + std::to_string(an::kMinSegment) + " to " +
                         std::to_string(an::kMaxSegment)};
    an::ReadOptions ro;
    ro.rateHz = o.rate.value_or(0);
    ro.sensorPeriod = o.period.value_or(0);
    ro.channels = o.channels;
    const an::SpectrumResult r =
        an::SpectrumOfLog(o.file, ro, static_cast<std::size_t>(o.segment.value_or(0)));
    if (!r.error.empty()) {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return kDeviceFailed;
    }
    if (o.csv) {
        std::string error;
        if (!base::WriteOutputFile(*o.csv, an::SpectrumCsv(r), error, {o.file})) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return kDeviceFailed;
        }
        if (*o.csv == "-") return kOk; // the spectrum is the output
    }
    if (g.json) {
        std::printf("%s\n", SpectrumJson(r).dump(2).c_str());
    } else {
        const std::string table = an::SpectrumTable(r);
        std::fwrite(table.data(), 1, table.size(), stdout);
    }
    return kOk;
}

} // namespace tavrin::cli
