#include "analysis/LogViews.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace tavrin::analysis {

namespace {

// AnalyseChannel on a copy of `values`, which it uses up; it sets tau0 by the count of the
// sensor's samples, the same each time.
void AnalyseCopy(ChannelResult& c, const std::vector<double>& values, const AnalysisOptions& o) {
    c.series.values = values;
    AnalyseChannel(c, o);
}

void ViewChannel(ChannelResult& c, std::optional<Spectrum>& spectrum, std::string& problem,
                 TimeSeries& t, const AnalysisOptions& o) {
    t.values = std::move(c.series.values);
    AnalyseCopy(c, t.values, o);
    t.title = c.series.title;
    t.unit = c.series.unit;
    t.tau0 = c.series.tau0;
    if (t.values.empty()) {
        problem = "no samples";
        return;
    }
    std::swap(c.series.values, t.values); // the spectrum reads them where the series has them
    spectrum = SpectrumOfSeries(c.series, 0, problem);
    std::swap(c.series.values, t.values);
}

// Runs `each(i)` for i = 0 .. n - 1, one worker a core, each taking the next i.
template <class F> void OneACore(std::size_t n, const F& each) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < n;) each(i);
    };
    const auto cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < std::min<std::size_t>(cores, n); ++k) helpers.emplace_back(work);
    work();
    for (auto& h : helpers) h.join();
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
    OneACore(n, [&](std::size_t i) {
        ViewChannel(v.analysis.channels[i], v.spectra[i], v.spectrumProblems[i], v.time[i], o);
    });
    return v;
}

AnalysisResult Reanalysed(const LogViews& v, const AnalysisOptions& o) {
    AnalysisResult r;
    r.taus = o.taus;
    r.channels.resize(v.analysis.channels.size());
    OneACore(r.channels.size(), [&](std::size_t i) {
        r.channels[i].series = v.analysis.channels[i].series;
        AnalyseCopy(r.channels[i], v.time[i].values, o);
    });
    return r;
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
