#pragma once
// What the Allan deviation and spectrum plots share: a log-log chart drawn anew each time,
// one value axis per unit (the first on the left, any others on the right), each ranged to
// what was drawn against it.
#include <QChart>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace tavrin::ui {

// The positive, finite values seen: a log axis' range.
struct Span {
    double lo = 0, hi = 0;
    void add(double v) {
        if (!(v > 0) || !std::isfinite(v)) return;
        lo = lo == 0 ? v : std::min(lo, v);
        hi = std::max(hi, v);
    }
};

inline QLogValueAxis* NewLogAxis(const QString& title) {
    auto* a = new QLogValueAxis;
    a->setTitleText(title);
    a->setLabelFormat("%g");
    a->setMinorTickCount(8);
    return a;
}

inline QLineSeries* PenLine(const QString& name, const QColor& colour, Qt::PenStyle style,
                            qreal width) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(width);
    s->setPen(pen);
    return s;
}

class LogLogChart {
  public:
    // Empties `chart` (series and axes) and gives it a log x axis titled `xTitle`.
    LogLogChart(QChart* chart, const QString& xTitle) : chart_(chart) {
        chart->removeAllSeries();
        for (QAbstractAxis* a : chart->axes()) {
            chart->removeAxis(a);
            delete a;
        }
        x_ = NewLogAxis(xTitle);
        chart->addAxis(x_, Qt::AlignBottom);
    }
    QLogValueAxis* x() const { return x_; }
    Span& xSpan() { return xSpan_; }
    // The value axis of `unit`, made with `title` the first time; and the span drawn on it.
    std::pair<QLogValueAxis*, Span>& axisFor(const std::string& unit, const QString& title) {
        auto& axis = axes_[unit];
        if (!axis.first) {
            axis.first = NewLogAxis(title);
            chart_->addAxis(axis.first, axes_.size() == 1 ? Qt::AlignLeft : Qt::AlignRight);
        }
        return axis;
    }
    // Every axis to what was drawn: x with `xMargin` (a factor) each side, values with 2.
    void setRanges(double xMargin) {
        if (xSpan_.hi > 0) x_->setRange(xSpan_.lo / xMargin, xSpan_.hi * xMargin);
        for (auto& [unit, axis] : axes_)
            if (axis.second.hi > 0) axis.first->setRange(axis.second.lo / 2, axis.second.hi * 2);
    }

  private:
    QChart* chart_;
    QLogValueAxis* x_;
    Span xSpan_;
    std::map<std::string, std::pair<QLogValueAxis*, Span>> axes_;
};

} // namespace tavrin::ui
