#include "analysis/LogViews.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace tavrin::analysis {

namespace {

void ViewChannel(ChannelResult& c, std::optional<Spectrum>& spectrum, std::string& problem,
                 TimeSeries& t, const AnalysisOptions& o) {
    std::vector<double> values = std::move(c.series.values);
    c.series.values = values; // the deviation's workspace
    AnalyseChannel(c, o);     // sets tau0 by the count of the sensor's samples
    c.series.values = std::move(values);
    if (!c.series.values.empty())
        spectrum = SpectrumOfSeries(c.series, 0, problem);
    else
        problem = "no samples";
    t.title = c.series.title;
    t.unit = c.series.unit;
    t.tau0 = c.series.tau0;
    t.values = std::move(c.series.values);
}

} // namespace

LogViews AnalyseLogViews(const std::filesystem::path& file, const AnalysisOptions& o) {
    LogViews v;
    v.analysis.taus = o.taus;
    std::vector<MinMaxPyramid> pyramids;
    ReadOptions ro = o.read;
    if (o.captureSeconds > 0) ro.elapsed = o.captureSeconds; // not the file's clock
    ro.samples = [&pyramids](std::size_t channel, const double* values, std::size_t count) {
        if (channel >= pyramids.size()) pyramids.resize(channel + 1);
        pyramids[channel].add(values, count);
    };
    ReadResult read = ReadLog(file, ro);
    v.analysis.problem = std::move(read.problem);
    if (!v.analysis.problem.ok()) return v;
    const std::size_t n = read.data.channels.size();
    v.analysis.channels.resize(n);
    v.spectra.resize(n);
    v.spectrumProblems.resize(n);
    v.time.resize(n);
    pyramids.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        v.analysis.channels[i].series = std::move(read.data.channels[i]);
        pyramids[i].finish();
        v.time[i].pyramid = std::move(pyramids[i]);
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < n;)
            ViewChannel(v.analysis.channels[i], v.spectra[i], v.spectrumProblems[i], v.time[i], o);
    };
    const auto cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < std::min<std::size_t>(cores, n); ++k) helpers.emplace_back(work);
    work();
    for (auto& h : helpers) h.join();
    return v;
}

SpectrumResult SpectraOf(const LogViews& v) {
    SpectrumResult r;
    for (std::size_t i = 0; i < v.spectra.size(); ++i) {
        if (!v.spectra[i]) continue;
        Series s = v.analysis.channels[i].series; // its values are with the time view
        r.channels.push_back({std::move(s), *v.spectra[i]});
    }
    return r;
}

double WhiteLevel(const ChannelResult& c) {
    const TermFit& n = c.fit.terms[static_cast<int>(Term::RandomWalk)];
    return n.available ? 2 * n.value * n.value : 0;
}

} // namespace tavrin::analysis
