#include "ui/AnalysisPlot.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>

#include "ui/LogLogChart.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

// Beyond this many points a curve is drawn without its bars (each bar is a series).
constexpr std::size_t kMostBars = 300;

void Attach(QChart* chart, QAbstractSeries* s, QAbstractAxis* x, QAbstractAxis* y, bool legend) {
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
    if (!legend)
        for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
}

// The measured curve: solid with its points, and a bar for each point's interval.
void DrawCurve(QChart* chart, const an::ChannelResult& c, const QColor& colour, QAbstractAxis* x,
               QAbstractAxis* y, Span& taus, Span& sigmas) {
    auto* curve = new QLineSeries;
    curve->setName(Q(c.series.title));
    curve->setPointsVisible(true);
    QPen pen(colour);
    pen.setWidthF(2);
    curve->setPen(pen);
    const auto& pts = c.curve.points;
    for (const auto& p : pts) {
        curve->append(p.tau, p.sigma);
        taus.add(p.tau);
        sigmas.add(p.lower);
        sigmas.add(p.upper);
    }
    Attach(chart, curve, x, y, true);
    if (pts.size() > kMostBars) return;
    QPen thin(colour);
    thin.setWidthF(1);
    for (const auto& p : pts) {
        auto* bar = new QLineSeries;
        bar->append(p.tau, p.lower);
        bar->append(p.tau, p.upper);
        bar->setPen(thin);
        Attach(chart, bar, x, y, false);
    }
}

// The fitted sigma(tau), dashed in the channel's colour, over the span it was fitted on.
void DrawFit(QChart* chart, const an::ChannelResult& c, const QColor& colour, QAbstractAxis* x,
             QAbstractAxis* y) {
    const an::NoiseFit& f = c.fit;
    if (f.points == 0 || !(f.tauTo > f.tauFrom)) return;
    auto* line = PenLine(Q(c.series.title) + " fit", colour, Qt::DashLine, 1.5);
    constexpr int kSteps = 60;
    for (int i = 0; i <= kSteps; ++i) {
        const double tau = f.tauFrom * std::pow(f.tauTo / f.tauFrom, double(i) / kSteps);
        line->append(tau, std::sqrt(f.variance(tau)));
    }
    Attach(chart, line, x, y, true);
}

} // namespace

QColor ChannelColour(int k) {
    static const QColor kColours[] = {QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                                      QColor(0x00, 0x9E, 0x73), QColor(0xCC, 0x79, 0xA7),
                                      QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9),
                                      QColor(0x00, 0x00, 0x00), QColor(0xF0, 0xE4, 0x42)};
    return kColours[k % 8];
}

QString PrettyUnit(const std::string& unit) {
    QString u = Q(unit);
    u.replace("degC", "\u00B0C").replace("deg", "\u00B0").replace("/h/h", "/h\u00B2");
    u.replace("sqrt(h)", "\u221Ah").replace("sqrt(Hz)", "\u221AHz").replace("sqrt(s)", "\u221As");
    u.replace("ug", "\u00B5g");
    return u;
}

void DrawAnalysis(QChart* chart, const an::AnalysisResult& r) {
    LogLogChart plot(chart, "\u03C4 (s)");
    int k = 0;
    for (const auto& c : r.channels) {
        const QColor colour = ChannelColour(k++);
        if (c.curve.points.empty()) continue;
        auto& [y, span] = plot.axisFor(
            c.series.unit,
            "\u03C3 (" + PrettyUnit(c.series.unit.empty() ? "unit" : c.series.unit) + ")");
        DrawCurve(chart, c, colour, plot.x(), y, plot.xSpan(), span);
        DrawFit(chart, c, colour, plot.x(), y);
    }
    plot.setRanges(1.5);
}

} // namespace tavrin::ui
