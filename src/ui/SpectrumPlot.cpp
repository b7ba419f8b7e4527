#include "ui/SpectrumPlot.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>

#include "ui/AnalysisPlot.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

QString DensityText(const std::string& unit) {
    return PrettyUnit(an::DensityUnit(unit)).replace("^2", "\u00B2");
}

QLogValueAxis* NewAxis(const QString& title) {
    auto* a = new QLogValueAxis;
    a->setTitleText(title);
    a->setLabelFormat("%g");
    a->setMinorTickCount(8);
    return a;
}

QLineSeries* Line(const QString& name, const QColor& colour, Qt::PenStyle style, qreal width) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(width);
    s->setPen(pen);
    return s;
}

struct Span {
    double lo = 0, hi = 0;
    void add(double v) {
        if (!(v > 0) || !std::isfinite(v)) return;
        lo = lo == 0 ? v : std::min(lo, v);
        hi = std::max(hi, v);
    }
};

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
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    auto* x = NewAxis("frequency (Hz)");
    chart->addAxis(x, Qt::AlignBottom);
    std::map<std::string, std::pair<QLogValueAxis*, Span>> axes;
    Span band;
    for (std::size_t k = 0; k < v.spectra.size(); ++k) {
        if (!v.spectra[k] || v.spectra[k]->density.empty()) continue;
        const an::Spectrum& s = *v.spectra[k];
        const an::ChannelResult& c = v.analysis.channels[k];
        auto& [y, span] = axes[c.series.unit];
        if (!y) {
            y = NewAxis(DensityText(c.series.unit));
            chart->addAxis(y, axes.size() == 1 ? Qt::AlignLeft : Qt::AlignRight);
        }
        const QColor colour = ChannelColour(static_cast<int>(k));
        auto* line = Line(Q(c.series.title), colour, Qt::SolidLine, 1.2);
        const auto points = SpectrumPoints(s);
        line->replace(QList<QPointF>(points.begin(), points.end()));
        for (const QPointF& p : points) band.add(p.x()), span.add(p.y());
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
        const double level = an::WhiteLevel(c);
        if (!(level > 0)) continue;
        auto* white = Line(Q(c.series.title) + " 2N\u00B2", colour, Qt::DashLine, 1.5);
        white->append(s.frequency(0), level);
        white->append(s.frequency(s.density.size() - 1), level);
        span.add(level);
        chart->addSeries(white);
        white->attachAxis(x);
        white->attachAxis(y);
    }
    if (band.hi > 0) x->setRange(band.lo / 1.2, band.hi * 1.2);
    for (auto& [unit, axis] : axes)
        if (axis.second.hi > 0) axis.first->setRange(axis.second.lo / 2, axis.second.hi * 2);
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
