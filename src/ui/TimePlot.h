#pragma once
// The analysis window's Time tab: every channel of the log or capture against time (seconds
// from the first sample), drawn from the min/max pyramid, so a view never holds more than
// two points a pixel column whatever the log's length. The wheel zooms the time axis about
// the pointer, a drag pans, a drag with Shift zooms into the box drawn; the value axes
// (one per unit) follow what is visible unless a box set them; Reset shows everything.
// A click on a channel's legend entry hides or shows it; hovering shows the time and each
// channel's sample there.
#include <QPoint>
#include <QWidget>
#include <vector>

#include "analysis/LogViews.h"

class QChart;
class QCheckBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QRubberBand;
class QValueAxis;

namespace tavrin::ui {

class PlotView;

class TimeTab : public QWidget {
    Q_OBJECT
  public:
    explicit TimeTab(QWidget* parent = nullptr);

    // The series to show (nothing for none); they must outlive the tab's use of them.
    void setViews(const analysis::LogViews* views);
    PlotView* view() const { return view_; }

    // The time shown, seconds from the first sample.
    double from() const { return from_; }
    double to() const { return to_; }
    // Kept within the data and at least ten samples wide.
    void setRange(double from, double to);
    // factor < 1 zooms in, keeping time `about` where it is on the axis.
    void zoom(double factor, double about);
    void pan(double seconds);
    void reset();

    // One wheel step zooms in (or out) by this factor.
    static constexpr double kWheelStep = 1.25;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void refresh();
    void autoscale();
    void boxZoom(const QRect& box);
    double timeAt(QPoint viewportPos) const;
    double secondsPerPixel() const;
    void hover(double time, bool inside);

    const analysis::LogViews* views_ = nullptr;
    QChart* chart_;
    PlotView* view_;
    QValueAxis* x_;
    std::vector<QLineSeries*> series_; // per channel
    std::vector<QValueAxis*> axisOf_;  // per channel: its unit's value axis
    QCheckBox* ckAutoscale;
    QPushButton *cmdZoomIn, *cmdZoomOut, *cmdResetView;
    QLabel* lblHover;
    QRubberBand* band_;
    double from_ = 0, to_ = 0, total_ = 0, shortest_ = 0;
    QPoint pressed_;                            // where a drag began
    double pressedFrom_ = 0, pressedScale_ = 0; // the range and seconds a pixel then
    bool dragging_ = false, boxing_ = false;
};

} // namespace tavrin::ui
