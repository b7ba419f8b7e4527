#include "ui/TimePlot.h"

#include <QChart>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "ui/AnalysisPlot.h"
#include "ui/PlotView.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

constexpr int kFewestColumns = 50, kMostColumns = 4000;

// Samples whose times lie within [from, to], or the one nearest when none does.
std::pair<std::size_t, std::size_t> Within(const an::TimeSeries& t, double from, double to) {
    const double last = static_cast<double>(t.values.size() - 1);
    const double lo = std::clamp(std::ceil(from / t.tau0), 0.0, last);
    const double hi = std::clamp(std::floor(to / t.tau0), lo, last);
    return {static_cast<std::size_t>(lo), static_cast<std::size_t>(hi) + 1};
}

bool Drawable(const an::TimeSeries& t) {
    return !t.values.empty() && t.tau0 > 0;
}

// The range, with ticks at round numbers (1, 2 or 5 times a power of ten) about five apart.
// Fixed ticks while the range and interval change: an interval left from a narrow range
// would make a wide one hold thousands of ticks.
void SetRange(QValueAxis* a, double lo, double hi) {
    a->setTickType(QValueAxis::TicksFixed);
    a->setRange(lo, hi);
    const double rough = (hi - lo) / 5;
    if (!(rough > 0) || !std::isfinite(rough)) return;
    const double power = std::pow(10, std::floor(std::log10(rough)));
    const double step = rough / power < 2 ? 1 : rough / power < 5 ? 2 : 5;
    a->setTickAnchor(0);
    a->setTickInterval(step * power);
    a->setTickType(QValueAxis::TicksDynamic);
}

} // namespace

TimeTab::TimeTab(QWidget* parent) : QWidget(parent) {
    chart_ = new QChart;
    chart_->setTheme(QChart::ChartThemeLight); // the channels' colours are set, not the theme's
    chart_->legend()->setAlignment(Qt::AlignTop);
    x_ = new QValueAxis;
    x_->setTitleText("time (s)");
    x_->setLabelFormat("%.6g");
    chart_->addAxis(x_, Qt::AlignBottom);
    view_ = new PlotView(chart_);
    view_->setObjectName("timeView");
    view_->setAccessibleName("Time plot");
    view_->viewport()->installEventFilter(this);
    connect(view_, &PlotView::pointerAt, this,
            [this](QPointF at, bool inside) { hover(at.x(), inside); });
    band_ = new QRubberBand(QRubberBand::Rectangle, view_->viewport());

    const auto button = [this](const char* name, const char* text, const char* accessible) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        b->setAccessibleName(accessible);
        return b;
    };
    cmdZoomIn = button("cmdZoomIn", "Zoom &in", "Zoom in");
    cmdZoomOut = button("cmdZoomOut", "Zoom o&ut", "Zoom out");
    cmdResetView = button("cmdResetView", "&Reset", "Show everything");
    ckAutoscale = new QCheckBox("&Autoscale values");
    ckAutoscale->setObjectName("ckAutoscale");
    ckAutoscale->setChecked(true);
    lblHover = new QLabel(" ");
    lblHover->setObjectName("lblTimeHover");
    lblHover->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* controls = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdZoomIn, cmdZoomOut, cmdResetView, ckAutoscale})
        controls->addWidget(w);
    controls->addWidget(lblHover, 1);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(view_, 1);
    top->addLayout(controls);

    const auto mid = [this] { return (from_ + to_) / 2; };
    connect(cmdZoomIn, &QPushButton::clicked, this, [this, mid] { zoom(0.5, mid()); });
    connect(cmdZoomOut, &QPushButton::clicked, this, [this, mid] { zoom(2, mid()); });
    connect(cmdResetView, &QPushButton::clicked, this, [this] { reset(); });
    connect(ckAutoscale, &QCheckBox::toggled, this, [this](bool on) {
        if (on) autoscale();
    });
}

void TimeTab::setViews(const an::LogViews* views) {
    views_ = views;
    chart_->removeAllSeries();
    for (QAbstractAxis* a : chart_->axes(Qt::Vertical)) {
        chart_->removeAxis(a);
        delete a;
    }
    series_.clear();
    axisOf_.clear();
    total_ = 0;
    shortest_ = std::numeric_limits<double>::infinity();
    std::map<std::string, QValueAxis*> axes;
    for (std::size_t k = 0; views_ && k < views_->time.size(); ++k) {
        const an::TimeSeries& t = views_->time[k];
        QValueAxis*& y = axes[t.unit];
        if (!y) {
            y = new QValueAxis;
            y->setTitleText(PrettyUnit(t.unit.empty() ? "unit" : t.unit));
            y->setLabelFormat("%.6g");
            chart_->addAxis(y, axes.size() == 1 ? Qt::AlignLeft : Qt::AlignRight);
        }
        auto* s = new QLineSeries;
        s->setName(Q(t.title));
        QPen pen(ChannelColour(static_cast<int>(k)));
        pen.setWidthF(1);
        s->setPen(pen);
        chart_->addSeries(s);
        s->attachAxis(x_);
        s->attachAxis(y);
        series_.push_back(s);
        axisOf_.push_back(y);
        if (!Drawable(t)) continue;
        total_ = std::max(total_, t.duration());
        shortest_ = std::min(shortest_, t.tau0);
        for (QLegendMarker* m : chart_->legend()->markers(s))
            connect(m, &QLegendMarker::clicked, this, [this, s, m] {
                s->setVisible(!s->isVisible());
                m->setVisible(true); // the entry stays, greyed, to bring the channel back
                QColor c = m->labelBrush().color();
                c.setAlphaF(s->isVisible() ? 1.0 : 0.35);
                m->setLabelBrush(c);
                refresh();
            });
    }
    reset();
}

void TimeTab::reset() {
    ckAutoscale->setChecked(true);
    setRange(0, total_);
}

void TimeTab::setRange(double from, double to) {
    // At least ten samples of the most finely sampled channel, at most everything.
    const double fewest = std::min(10 * shortest_, total_);
    double span = to - from;
    if (span < fewest) {
        from = (from + to) / 2 - fewest / 2;
        span = fewest;
    }
    span = std::min(span, total_);
    from_ = std::clamp(from, 0.0, total_ - span);
    to_ = from_ + span;
    SetRange(x_, from_, span > 0 ? to_ : from_ + 1);
    refresh();
}

void TimeTab::zoom(double factor, double about) {
    setRange(about - (about - from_) * factor, about + (to_ - about) * factor);
}

void TimeTab::pan(double seconds) {
    setRange(from_ + seconds, to_ + seconds);
}

void TimeTab::refresh() {
    if (!views_) return;
    const int columns =
        std::clamp(static_cast<int>(chart_->plotArea().width()), kFewestColumns, kMostColumns);
    for (std::size_t k = 0; k < series_.size(); ++k) {
        const an::TimeSeries& t = views_->time[k];
        if (!series_[k]->isVisible() || !Drawable(t)) {
            series_[k]->clear();
            continue;
        }
        // One sample beyond each end, so the lines run to the edges.
        const auto n = static_cast<double>(t.values.size());
        const double first = std::clamp(std::floor(from_ / t.tau0), 0.0, n);
        const double last = std::clamp(std::floor(to_ / t.tau0) + 2, first, n);
        const auto points =
            an::ViewOf(t.values, t.pyramid, static_cast<std::size_t>(first),
                       static_cast<std::size_t>(last), static_cast<std::size_t>(columns));
        QList<QPointF> list;
        list.reserve(static_cast<qsizetype>(points.size()));
        for (const auto& p : points) list.append({static_cast<double>(p.index) * t.tau0, p.value});
        series_[k]->replace(list);
    }
    if (ckAutoscale->isChecked()) autoscale();
}

void TimeTab::autoscale() {
    if (!views_) return;
    std::map<QValueAxis*, an::MinMax> spans;
    for (std::size_t k = 0; k < series_.size(); ++k) {
        const an::TimeSeries& t = views_->time[k];
        if (!series_[k]->isVisible() || !Drawable(t)) continue;
        const auto [lo, hi] = Within(t, from_, to_);
        const an::MinMax m = t.pyramid.range(t.values, lo, hi);
        const auto [at, fresh] = spans.try_emplace(axisOf_[k], m);
        if (!fresh) at->second = {std::min(at->second.min, m.min), std::max(at->second.max, m.max)};
    }
    for (const auto& [axis, m] : spans) {
        double pad = (m.max - m.min) * 0.05;
        if (!(pad > 0)) pad = m.max != 0 ? std::fabs(m.max) * 0.01 : 1;
        SetRange(axis, m.min - pad, m.max + pad);
    }
}

double TimeTab::secondsPerPixel() const {
    const double w = chart_->plotArea().width();
    return w > 0 ? (to_ - from_) / w : 0;
}

double TimeTab::timeAt(QPoint pos) const {
    const QPointF at = chart_->mapFromScene(view_->mapToScene(pos));
    return from_ + (at.x() - chart_->plotArea().left()) * secondsPerPixel();
}

void TimeTab::boxZoom(const QRect& box) {
    if (box.width() < 4) return;
    // Everything read off the axes before any of them changes (their labels move the area).
    const QRectF area = chart_->plotArea();
    const double t0 = timeAt(box.topLeft()), t1 = timeAt(box.topRight());
    const auto across = [&](int y) {
        return (chart_->mapFromScene(view_->mapToScene(QPoint(0, y))).y() - area.top()) /
               area.height();
    };
    const double top = across(box.top()), bottom = across(box.bottom());
    if (box.height() >= 4) {
        ckAutoscale->setChecked(false);
        for (QValueAxis* a : std::set<QValueAxis*>(axisOf_.begin(), axisOf_.end())) {
            const double max = a->max(), span = a->max() - a->min();
            SetRange(a, max - bottom * span, max - top * span);
        }
    }
    setRange(t0, t1);
}

bool TimeTab::eventFilter(QObject* watched, QEvent* e) {
    if (watched != view_->viewport()) return false;
    switch (e->type()) {
    case QEvent::Wheel: {
        const auto* w = static_cast<QWheelEvent*>(e);
        const double steps = w->angleDelta().y() / 120.0;
        if (steps != 0) zoom(std::pow(kWheelStep, -steps), timeAt(w->position().toPoint()));
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() != Qt::LeftButton) return false;
        pressed_ = m->position().toPoint();
        pressedFrom_ = from_;
        pressedScale_ = secondsPerPixel(); // the axis may narrow as its labels change
        boxing_ = m->modifiers() & Qt::ShiftModifier;
        dragging_ = !boxing_;
        if (boxing_) band_->setGeometry(QRect(pressed_, QSize()));
        band_->setVisible(boxing_);
        return true;
    }
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
        if (boxing_) band_->setGeometry(QRect(pressed_, at).normalized());
        if (dragging_) {
            const double shift = (at.x() - pressed_.x()) * pressedScale_;
            setRange(pressedFrom_ - shift, pressedFrom_ - shift + (to_ - from_));
        }
        return false; // the hover readout follows too
    }
    case QEvent::MouseButtonRelease: {
        if (static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton) return false;
        if (boxing_) {
            band_->hide();
            boxZoom(
                QRect(pressed_, static_cast<QMouseEvent*>(e)->position().toPoint()).normalized());
        }
        boxing_ = dragging_ = false;
        return true;
    }
    case QEvent::Resize:
        refresh();
        return false;
    default:
        return false;
    }
}

void TimeTab::hover(double time, bool inside) {
    if (!inside || !views_) {
        lblHover->setText(" ");
        return;
    }
    QStringList parts{"t = " + QString::number(time, 'g', 9) + " s"};
    for (std::size_t k = 0; k < series_.size(); ++k) {
        const an::TimeSeries& t = views_->time[k];
        if (!series_[k]->isVisible() || !Drawable(t)) continue;
        const double i =
            std::clamp(std::round(time / t.tau0), 0.0, static_cast<double>(t.values.size() - 1));
        parts << Q(t.title) + " " +
                     QString::number(t.values[static_cast<std::size_t>(i)], 'g', 15) + " " +
                     PrettyUnit(t.unit);
    }
    lblHover->setText(parts.join("   "));
}

} // namespace tavrin::ui
