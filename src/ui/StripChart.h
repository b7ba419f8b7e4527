#pragma once
// One strip chart: draws each plot step into an off-screen image and paints that
// image scaled into the widget, so the trace survives covering and resizing. It also keeps
// the value each channel drew at each sweep position until the sweep clears it, so the
// samples shown can be copied; its context menu copies or saves the image and the values.
#include <QImage>
#include <QRgb>
#include <QTimer>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "view/ChartCore.h"

class QMenu;

namespace tavrin::ui {

class StripChart : public QWidget {
    Q_OBJECT
  public:
    static constexpr QRgb kBackground = qRgb(192, 192, 192);
    static constexpr QRgb kMarker = qRgb(215, 215, 215);
    // Two pixels per sample position; an odd height puts the centre line on a row.
    static constexpr int kImageWidth = 2 * view::kSweepWidth + 1;
    static constexpr int kImageHeight = 241;

    // `designHeight`: the chart's height in pixels at the window's natural size.
    explicit StripChart(QWidget* parent = nullptr, int designHeight = 255);

    // Draws one step's box, marker and segments; colours are indexed by channel.
    void draw(const view::StepDrawing& step, const std::array<QRgb, 9>& colors);

    const QImage& image() const { return image_; }

    // One sweep position still showing what a step drew there.
    struct Shown {
        view::Samples value{};      // by channel
        view::ChannelFlags drawn{}; // the channels that drew there
    };
    // The positions showing a step, oldest first (from just past the write position).
    std::vector<Shown> shown() const;

    // What the context menu's "Save image..." and "Copy values" do; unset, not offered.
    std::function<void(const std::filesystem::path&)> save;
    std::function<void()> copyValues;
    QMenu* contextMenu(); // "Copy image", "Save image...", "Copy values"

    // The pixel mapping of the last step; none before the first step.
    bool hasScale() const { return hasScale_; }
    view::PixelMap pixelMap() const { return map_; }

    QSize sizeHint() const override { return {557, designHeight_}; }
    QSize minimumSizeHint() const override { return {180, 80}; }

  signals:
    // Pointer position in chart units; only once the chart has a coordinate system.
    void pointerMoved(double x, double y);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

  private:
    void fillColumns(int from, int to, QRgb color);
    void line(double x0, double y0, double x1, double y1, QRgb color);
    void scheduleRepaint();

    QImage image_;
    std::array<Shown, view::kSweepWidth + 1> shown_{};
    int newest_ = -1; // the position written last
    view::PixelMap map_;
    bool hasScale_ = false;
    QTimer repaint_;
    int designHeight_;
};

} // namespace tavrin::ui
