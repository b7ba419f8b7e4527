#include "ui/AnalysisPlot.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>

#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

// Beyond this many points a curve is drawn without its bars (each bar is a series).
constexpr std::size_t kMostBars = 300;

struct Span {
    double lo = 0, hi = 0;
    void add(double v) {
        if (!(v > 0) || !std::isfinite(v)) return;
        lo = lo == 0 ? v : std::min(lo, v);
        hi = std::max(hi, v);
    }
};

QLogValueAxis* NewAxis(const QString& title) {
    auto* a = new QLogValueAxis;
    a->setTitleText(title);
    a->setLabelFormat("%g");
    a->setMinorTickCount(8);
    return a;
}

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
    auto* line = new QLineSeries;
    line->setName(Q(c.series.title) + " fit");
    constexpr int kSteps = 60;
    for (int i = 0; i <= kSteps; ++i) {
        const double tau = f.tauFrom * std::pow(f.tauTo / f.tauFrom, double(i) / kSteps);
        line->append(tau, std::sqrt(f.variance(tau)));
    }
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    line->setPen(pen);
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
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    auto* x = NewAxis("\u03C4 (s)");
    chart->addAxis(x, Qt::AlignBottom);
    // One vertical axis per unit: the first on the left, any others on the right.
    std::map<std::string, std::pair<QLogValueAxis*, Span>> axes;
    Span taus;
    int k = 0;
    for (const auto& c : r.channels) {
        const QColor colour = ChannelColour(k++);
        if (c.curve.points.empty()) continue;
        auto& [y, span] = axes[c.series.unit];
        if (!y) {
            y = NewAxis("\u03C3 (" + PrettyUnit(c.series.unit.empty() ? "unit" : c.series.unit) +
                        ")");
            chart->addAxis(y, axes.size() == 1 ? Qt::AlignLeft : Qt::AlignRight);
        }
        DrawCurve(chart, c, colour, x, y, taus, span);
        DrawFit(chart, c, colour, x, y);
    }
    if (taus.hi > 0) x->setRange(taus.lo / 1.5, taus.hi * 1.5);
    for (auto& [unit, axis] : axes)
        if (axis.second.hi > 0) axis.first->setRange(axis.second.lo / 2, axis.second.hi * 2);
}

} // namespace tavrin::ui
