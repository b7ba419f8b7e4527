#include "ui/PsdPlot.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>

#include "ui/AnalysisPlot.h"
#include "ui/LogLogChart.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

QString DensityText(const std::string& unit) {
    return PrettyUnit(an::DensityUnit(unit)).replace("^2", "\u00B2");
}

} // namespace

std::vector<QPointF> SpectrumPoints(const an::Spectrum& s) {
    std::vector<QPointF> out;
    const std::size_t n = s.density.size();
    if (n <= kSpectrumPoints) {
        for (std::size_t i = 0; i < n; ++i)
            if (s.density[i] > 0) out.emplace_back(s.frequency(i), s.density[i]);
        return out;
    }
    // Bins (i + 1) * resolution: band c holds the bins whose log frequency falls in it.
    const double span = std::log(static_cast<double>(n));
    std::size_t i = 0;
    for (std::size_t c = 1; c <= kSpectrumColumns && i < n; ++c) {
        const double top = std::exp(span * static_cast<double>(c) / kSpectrumColumns);
        const std::size_t start = i;
        std::size_t lo = i, hi = i;
        for (; i < n && (i == start || static_cast<double>(i + 1) <= top); ++i) {
            if (s.density[i] < s.density[lo]) lo = i;
            if (s.density[i] > s.density[hi]) hi = i;
        }
        for (const std::size_t k : {std::min(lo, hi), std::max(lo, hi)})
            if (s.density[k] > 0 && (out.empty() || out.back().x() != s.frequency(k)))
                out.emplace_back(s.frequency(k), s.density[k]);
    }
    return out;
}

void DrawSpectra(QChart* chart, const an::LogViews& v) {
    LogLogChart plot(chart, "frequency (Hz)");
    for (std::size_t k = 0; k < v.spectra.size(); ++k) {
        if (!v.spectra[k] || v.spectra[k]->density.empty()) continue;
        const an::Spectrum& s = *v.spectra[k];
        const an::ChannelResult& c = v.analysis.channels[k];
        auto& [y, span] = plot.axisFor(c.series.unit, DensityText(c.series.unit));
        const QColor colour = ChannelColour(static_cast<int>(k));
        auto* line = PenLine(Q(c.series.title), colour, Qt::SolidLine, 1.2);
        const auto points = SpectrumPoints(s);
        line->replace(QList<QPointF>(points.begin(), points.end()));
        for (const QPointF& p : points) plot.xSpan().add(p.x()), span.add(p.y());
        chart->addSeries(line);
        line->attachAxis(plot.x());
        line->attachAxis(y);
        const double level = an::WhiteLevel(c);
        if (!(level > 0)) continue;
        auto* white = PenLine(Q(c.series.title) + " 2N\u00B2", colour, Qt::DashLine, 1.5);
        white->append(s.frequency(0), level);
        white->append(s.frequency(s.density.size() - 1), level);
        span.add(level);
        chart->addSeries(white);
        white->attachAxis(plot.x());
        white->attachAxis(y);
    }
    plot.setRanges(1.2);
}

QString SpectrumReadout(const an::LogViews& v, double frequency) {
    QStringList parts;
    QString at;
    for (std::size_t k = 0; k < v.spectra.size(); ++k) {
        if (!v.spectra[k] || v.spectra[k]->density.empty()) continue;
        const an::Spectrum& s = *v.spectra[k];
        const double bin = std::round(frequency / s.resolution()) - 1;
        const auto i = static_cast<std::size_t>(
            std::clamp(bin, 0.0, static_cast<double>(s.density.size() - 1)));
        if (at.isEmpty()) at = "f = " + QString::number(s.frequency(i), 'g', 6) + " Hz: ";
        parts << Q(v.analysis.channels[k].series.title) + " " +
                     QString::number(s.density[i], 'g', 4) + " " +
                     DensityText(v.analysis.channels[k].series.unit);
    }
    return parts.isEmpty() ? QString() : at + parts.join(", ");
}

} // namespace tavrin::ui
