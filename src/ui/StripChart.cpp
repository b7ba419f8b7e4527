#include "ui/StripChart.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "ui/PlotView.h"

namespace tavrin::ui {

StripChart::StripChart(QWidget* parent, int designHeight)
    : QWidget(parent), image_(kImageWidth, kImageHeight, QImage::Format_RGB32),
      designHeight_(designHeight) {
    image_.fill(kBackground);
    map_.width = kImageWidth;
    map_.height = kImageHeight;
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Steps come far faster than a display refreshes: repaint at most once a frame,
    // so drawing never holds up reading.
    repaint_.setSingleShot(true);
    repaint_.setInterval(16);
    connect(&repaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void StripChart::scheduleRepaint() {
    if (!repaint_.isActive()) repaint_.start();
}

void StripChart::fillColumns(int from, int to, QRgb color) {
    from = std::max(from, 0);
    to = std::min(to, kImageWidth - 1);
    if (from > to) return;
    // bits() once: scanLine() per row checks for sharing every time and was the hot spot.
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int y = 0; y < kImageHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + from, row + to + 1, color);
    }
}

void StripChart::line(double x0, double y0, double x1, double y1, QRgb color) {
    // Clip in floating point first: huge values would overflow integer pixels.
    if (!view::ClipSegment(x0, y0, x1, y1, 0, 0, kImageWidth - 1, kImageHeight - 1)) return;
    int ax = int(std::lround(x0)), ay = int(std::lround(y0));
    const int bx = int(std::lround(x1)), by = int(std::lround(y1));
    const int dx = std::abs(bx - ax), sx = ax < bx ? 1 : -1;
    const int dy = -std::abs(by - ay), sy = ay < by ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        reinterpret_cast<QRgb*>(image_.scanLine(ay))[ax] = color;
        if (ax == bx && ay == by) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ax += sx;
        }
        if (e2 <= dx) {
            err += dx;
            ay += sy;
        }
    }
}

void StripChart::draw(const view::StepDrawing& step, const std::array<QRgb, 9>& colors) {
    map_.max = step.max;
    map_.min = step.min;
    hasScale_ = true;

    fillColumns(int(std::lround(map_.px(step.clearFrom))), int(std::lround(map_.px(step.clearTo))),
                kBackground);
    const int marker = int(std::lround(map_.px(step.marker)));
    if (marker < kImageWidth) fillColumns(marker, marker, kMarker);
    // What the positions show now: the box clears them, each segment ends at its sample.
    for (int x = std::max(step.clearFrom, 0); x <= std::min(step.clearTo, view::kSweepWidth); ++x)
        shown_[x].drawn = {};
    newest_ = std::clamp(step.clearFrom, 0, view::kSweepWidth);
    for (int i = 0; i < step.segmentCount; ++i) {
        const view::Segment& s = step.segments[i];
        const int x = int(std::lround(s.x1));
        if (s.channel >= 0 && s.channel < view::kChannels && x >= 0 && x <= view::kSweepWidth) {
            shown_[x].value[s.channel] = s.y1;
            shown_[x].drawn[s.channel] = true;
        }
        const QRgb color =
            s.channel >= 0 && s.channel < int(colors.size()) ? colors[s.channel] : qRgb(0, 0, 0);
        line(map_.px(s.x0), map_.py(s.y0), map_.px(s.x1), map_.py(s.y1), color);
    }
    scheduleRepaint();
}

std::vector<StripChart::Shown> StripChart::shown() const {
    std::vector<Shown> out;
    for (int k = 1; k <= view::kSweepWidth + 1 && newest_ >= 0; ++k) {
        const Shown& at = shown_[(newest_ + k) % (view::kSweepWidth + 1)];
        if (std::find(at.drawn.begin(), at.drawn.end(), true) != at.drawn.end()) out.push_back(at);
    }
    return out;
}

QMenu* StripChart::contextMenu() {
    QMenu* menu = ImageMenu(this, save);
    if (copyValues) {
        QAction* values = menu->addAction("Copy values");
        values->setObjectName("actCopyValues");
        connect(values, &QAction::triggered, this, [this] { copyValues(); });
    }
    return menu;
}

void StripChart::contextMenuEvent(QContextMenuEvent* e) {
    contextMenu()->popup(e->globalPos());
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image_);
}

void StripChart::mouseMoveEvent(QMouseEvent* e) {
    if (!hasScale_ || width() < 2 || height() < 2) return;
    const QPointF pos = e->position();
    // Widget pixels to image pixels, then to chart units.
    const double ix = pos.x() * (kImageWidth - 1) / (width() - 1);
    const double iy = pos.y() * (kImageHeight - 1) / (height() - 1);
    emit pointerMoved(map_.ux(ix), map_.uy(iy));
}

} // namespace tavrin::ui
