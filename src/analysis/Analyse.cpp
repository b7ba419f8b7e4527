#include "analysis/Analyse.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace tavrin::analysis {

namespace {

// Counts the sensor's samples in the time the series spans and, when some were missed,
// takes tau0 as the mean interval of the samples used.
void Account(Series& s, const AnalysisOptions& o, Accounting& a) {
    const double period = o.read.sensorPeriod;
    const double elapsed = o.captureSeconds > 0 ? o.captureSeconds : s.elapsed;
    if (!(period > 0) || !(elapsed > 0)) return;
    a.known = true;
    a.sensorPeriod = period;
    a.expected = std::max<long long>(std::llround(elapsed / period), 1);
    a.used = s.fresh;
    a.caught = static_cast<double>(a.used) / static_cast<double>(a.expected);
    if (a.impossible()) return; // the period or the times are wrong: nothing to go by
    if (a.decimated() && a.used > 0) {
        s.tau0 = elapsed / static_cast<double>(a.used);
        s.source = Tau0Source::NewDataCount;
    } else if (o.captureSeconds > 0) {
        s.tau0 = period;
        s.source = Tau0Source::SensorPeriod;
    }
}

} // namespace

void AnalyseChannel(ChannelResult& c, const AnalysisOptions& o) {
    Series& s = c.series;
    Account(s, o, c.accounting);
    const auto n = static_cast<long long>(s.values.size());
    if (n == 0) c.status = ChannelStatus::NoNewSamples;
    if (c.status == ChannelStatus::Ok && n < 3) c.status = ChannelStatus::TooFewSamples;
    if (c.status == ChannelStatus::Ok) c.curve = AllanDeviation(s.values, s.tau0, o.taus);
    std::vector<double>().swap(s.values);
    if (c.status != ChannelStatus::Ok) return;
    if (c.curve.constant) {
        c.status = ChannelStatus::Constant;
    } else if (!c.curve.points.empty() &&
               c.curve.points.front().sigma < c.curve.resolution / std::sqrt(12.0)) {
        // Less than rounding to the values' own step would give: the variation is
        // below what the data can resolve.
        c.status = ChannelStatus::BelowResolution;
    }
    if (c.status != ChannelStatus::Ok) {
        c.curve.points.clear();
        return;
    }
    c.fit = FitNoise(c.curve.points, n);
    c.single = ReadFigures(c.curve.points);
    c.quoted = Quote(c.fit, c.single, s.quantity, s.unit);
}

AnalysisResult AnalyseLog(const std::filesystem::path& file, const AnalysisOptions& o) {
    AnalysisResult r;
    r.taus = o.taus;
    ReadOptions ro = o.read;
    if (o.captureSeconds > 0) ro.elapsed = o.captureSeconds; // not the file's clock
    ReadResult read = ReadLog(file, ro);
    r.problem = std::move(read.problem);
    if (!r.problem.ok()) return r;
    r.channels.resize(read.data.channels.size());
    for (std::size_t i = 0; i < r.channels.size(); ++i)
        r.channels[i].series = std::move(read.data.channels[i]);
    // The channels are independent: one worker a core, each taking the next channel.
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < r.channels.size();) AnalyseChannel(r.channels[i], o);
    };
    const auto cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < std::min<std::size_t>(cores, r.channels.size()); ++k)
        helpers.emplace_back(work);
    work();
    for (auto& h : helpers) h.join();
    return r;
}

std::string StatusText(const ChannelResult& c) {
    switch (c.status) {
    case ChannelStatus::Ok:
        return {};
    case ChannelStatus::NoNewSamples:
        return "no new samples (every new-data flag is 0)";
    case ChannelStatus::TooFewSamples:
        return "too few samples for a deviation (" + std::to_string(c.series.fresh) + ")";
    case ChannelStatus::Constant:
        return "not available: the values do not change";
    case ChannelStatus::BelowResolution:
        return "not available: the variation is below the resolution of the values (steps of " +
               Sig3(c.curve.resolution) + " " + c.series.unit + ")";
    }
    return {};
}

std::string DecimationWarning(const ChannelResult& c) {
    const Accounting& a = c.accounting;
    if (!a.decimated() || a.used == 0) return {};
    const double inflation =
        a.used > 0 ? std::sqrt(static_cast<double>(a.expected) / static_cast<double>(a.used)) : 0;
    return c.series.title + ": " + std::to_string(a.used) + " new samples used of about " +
           std::to_string(a.expected) + " the sensor made (" + Sig3(100 * a.caught) +
           " %): the figures come from decimated data; white noise reads about " + Sig3(inflation) +
           " times too high (sqrt(made/used))";
}

std::string CurveText(const ChannelResult& c, const TauChoice& t) {
    const auto& p = c.curve.points;
    if (p.empty())
        return "no curve: fewer than " + std::to_string(t.minClusters) +
               " clusters even of one sample (" + std::to_string(c.series.fresh) + " samples)";
    std::string s = std::to_string(p.size()) + " points, tau = " + Sig3(p.front().tau) + " to " +
                    Sig3(p.back().tau) + " s; ";
    if (c.curve.workLimited) return s + "every cluster size beyond would take too long";
    return s + "the curve stops where fewer than " + std::to_string(t.minClusters) +
           " clusters remain";
}

} // namespace tavrin::analysis
