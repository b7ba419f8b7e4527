#include "analysis/Analyse.h"

namespace tavrin::analysis {

AnalysisResult AnalyseLog(const std::filesystem::path& file, const ReadOptions& options) {
    AnalysisResult r;
    ReadResult read = ReadLog(file, options);
    r.error = std::move(read.error);
    r.cancelled = read.cancelled;
    if (!r.error.empty() || r.cancelled) return r;
    for (Series& s : read.data.channels) {
        ChannelResult c;
        c.curve = AllanDeviation(s.values, s.tau0);
        std::vector<double>().swap(s.values);
        c.figures = ReadFigures(c.curve);
        c.quoted = Quote(c.figures, s.quantity, s.unit);
        c.series = std::move(s);
        r.channels.push_back(std::move(c));
    }
    return r;
}

std::string CurveCsvOf(const AnalysisResult& r) {
    std::vector<CurveColumn> cols;
    for (const auto& c : r.channels) cols.push_back({c.series.title, c.series.unit, c.curve});
    return CurveCsv(cols);
}

std::string FiguresTable(const AnalysisResult& r) {
    std::string out;
    auto line = [&](const char* what, const QuotedFigure& q) {
        out += "  ";
        out += what;
        out += ": ";
        if (!q.available) {
            out += "not available\n";
            return;
        }
        out += NumberText(q.value) + " " + q.unit + " (tau = " + NumberText(q.tau) + " s)\n";
    };
    for (const auto& c : r.channels) {
        out += c.series.title + ": " + std::to_string(c.series.fresh) + " samples, " +
               Tau0Text(c.series) + "\n";
        line("random walk", c.quoted.randomWalk);
        line("noise density", c.quoted.noiseDensity);
        line("bias instability", c.quoted.biasInstability);
        line("rate random walk", c.quoted.rateRandomWalk);
    }
    return out;
}

} // namespace tavrin::analysis
