#pragma once
// A chart view that can be taken away: its context menu copies the chart as drawn to the
// clipboard ("Copy image") or saves it as PNG ("Save image..."), and the pointer's position
// is reported in the chart's values for a hover readout. The same two menu entries serve
// the main window's strip charts (ImageMenu).
#include <QChartView>
#include <QPointF>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QMenu;

namespace tavrin::ui {

// The widget as drawn, as PNG bytes; empty when it cannot be drawn.
QByteArray PngOf(QWidget* w);
// Writes the widget as drawn to `file` as PNG through the one output writer, never over one
// of `inputs`; false with `error` naming the file and the cause.
bool SaveImage(QWidget* w, const std::filesystem::path& file,
               const std::vector<std::filesystem::path>& inputs, std::string& error);

// "Copy image" and "Save image..." for `w`, in a new menu (owned by `w`, deleted when
// closed). Saving asks for a file, then calls `save` with it.
QMenu* ImageMenu(QWidget* w, const std::function<void(const std::filesystem::path&)>& save);

class PlotView : public QChartView {
    Q_OBJECT
  public:
    explicit PlotView(QChart* chart, QWidget* parent = nullptr);
    // Called with the file chosen in "Save image..."; none: the entry is not offered.
    std::function<void(const std::filesystem::path&)> save;
    // The menu the right button opens.
    QMenu* contextMenu();

  signals:
    // The pointer over the plot area, in the values of the first series' axes; left
    // (`inside` false) when it leaves the plot area.
    void pointerAt(QPointF value, bool inside);

  protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
};

} // namespace tavrin::ui
