// The analysis as text: the curve CSV and the plain-text report of the command line.
#include <map>

#include "analysis/Analyse.h"

namespace tavrin::analysis {

namespace {

std::string FitText(const Quoted& q) {
    if (!q.available) return "not available";
    return Sig3(q.value) + " +/- " + Sig3(q.uncertainty);
}

std::string RangeText(const Quoted& q) {
    return q.available ? Sig3(q.from) + " to " + Sig3(q.to) : "";
}

std::string SingleText(const Quoted& q) {
    if (!q.available) return "not available";
    return Sig3(q.value) + " (tau = " + Sig3(q.tau) + " s)";
}

// Rows of cells as columns padded to their widest cell, two blanks apart.
std::string Columns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width;
    for (const auto& r : rows)
        for (std::size_t i = 0; i < r.size(); ++i) {
            width.resize(std::max(width.size(), r.size()));
            width[i] = std::max(width[i], r[i].size());
        }
    std::string out;
    for (const auto& r : rows) {
        std::string line = "  ";
        for (std::size_t i = 0; i < r.size(); ++i)
            line += r[i] + (i + 1 < r.size() ? std::string(width[i] - r[i].size() + 2, ' ') : "");
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string TermTable(const QuotedFigures& q) {
    std::vector<std::vector<std::string>> rows = {
        {"term", "fit", "dominant at tau (s)", "single point"}};
    const Quoted* single[kTerms] = {nullptr, &q.randomWalk, &q.biasInstability, &q.rateRandomWalk,
                                    nullptr};
    for (int k = 0; k < kTerms; ++k) {
        const Quoted& f = q.fit[k];
        rows.push_back({std::string(TermName(k)) + " (" + f.unit + ")", FitText(f), RangeText(f),
                        single[k] ? SingleText(*single[k]) : ""});
        if (k == 1)
            rows.push_back(
                {"noise density (" + q.noiseDensity.unit + ")", FitText(q.noiseDensity), "", ""});
    }
    return Columns(rows);
}

} // namespace

std::string CurveCsvOf(const AnalysisResult& r) {
    std::string out = "tau (s)";
    for (const auto& c : r.channels) {
        const std::string& t = c.series.title;
        const std::string u = c.series.unit.empty() ? "" : " (" + c.series.unit + ")";
        out += "," + t + " clusters," + t + " sigma" + u + "," + t + " lower" + u + "," + t +
               " upper" + u;
    }
    out += '\n';
    // Channels may have different lengths or sample periods: one line per tau of any.
    std::map<double, std::vector<const AdevPoint*>> rows;
    for (std::size_t i = 0; i < r.channels.size(); ++i)
        for (const auto& p : r.channels[i].curve.points) {
            auto& row = rows[p.tau];
            row.resize(r.channels.size(), nullptr);
            row[i] = &p;
        }
    for (const auto& [tau, row] : rows) {
        out += NumberText(tau);
        for (const AdevPoint* p : row) {
            if (!p) {
                out += ",,,,";
                continue;
            }
            out += "," + std::to_string(p->clusters) + "," + NumberText(p->sigma) + "," +
                   NumberText(p->lower) + "," + NumberText(p->upper);
        }
        out += '\n';
    }
    return out;
}

std::string FiguresTable(const AnalysisResult& r) {
    std::string out;
    for (const auto& c : r.channels) {
        const Series& s = c.series;
        out += s.title + ": " + std::to_string(s.fresh) + " samples" +
               (s.fresh > 0 ? ", " + Tau0Text(s) : "") + "\n";
        const Accounting& a = c.accounting;
        if (a.known)
            out += "  sensor samples: " + std::to_string(a.used) + " used of " +
                   std::to_string(a.expected) + " made in the time logged (" +
                   Sig3(100 * a.caught) + " %), period " + Sig3(a.sensorPeriod) + " s" +
                   (a.impossible() ? ": more than the sensor can have made; the period or the "
                                     "file's times are wrong"
                                   : "") +
                   "\n";
        if (c.status != ChannelStatus::Ok) {
            out += "  " + StatusText(c) + "\n";
            continue;
        }
        out += "  curve: " + CurveText(c, r.taus) + "\n";
        if (!c.curve.points.empty()) out += TermTable(c.quoted);
    }
    return out;
}

} // namespace tavrin::analysis
