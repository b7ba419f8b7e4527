#include "ui/PlotView.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMouseEvent>

#include "base/SafeFile.h"
#include "ui/QtText.h"

namespace tavrin::ui {

QByteArray PngOf(QWidget* w) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!w->grab().save(&buffer, "PNG")) bytes.clear();
    return bytes;
}

bool SaveImage(QWidget* w, const std::filesystem::path& file,
               const std::vector<std::filesystem::path>& inputs, std::string& error) {
    const QByteArray png = PngOf(w);
    if (png.isEmpty()) {
        error = file.string() + ": the image could not be drawn";
        return false;
    }
    return base::WriteOutputFile(file, std::string_view(png.constData(), png.size()), error,
                                 inputs);
}

QMenu* ImageMenu(QWidget* w, const std::function<void(const std::filesystem::path&)>& save) {
    auto* menu = new QMenu(w);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy = menu->addAction("Copy image");
    copy->setObjectName("actCopyImage");
    QObject::connect(copy, &QAction::triggered, w,
                     [w] { QApplication::clipboard()->setPixmap(w->grab()); });
    if (save) {
        QAction* saveAs = menu->addAction("Save image...");
        saveAs->setObjectName("actSaveImage");
        QObject::connect(saveAs, &QAction::triggered, w, [w, save] {
            const QString f =
                QFileDialog::getSaveFileName(w, "Save image", QString(), "PNG images (*.png)");
            if (!f.isEmpty()) save(f.toStdString());
        });
    }
    return menu;
}

PlotView::PlotView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setMouseTracking(true);
}

QMenu* PlotView::contextMenu() {
    return ImageMenu(this, save);
}

void PlotView::contextMenuEvent(QContextMenuEvent* e) {
    contextMenu()->popup(e->globalPos());
}

void PlotView::mouseMoveEvent(QMouseEvent* e) {
    QChartView::mouseMoveEvent(e);
    const QPointF at = chart()->mapFromScene(mapToScene(e->position().toPoint()));
    const auto series = chart()->series();
    if (series.isEmpty() || !chart()->plotArea().contains(at)) {
        emit pointerAt({}, false);
        return;
    }
    emit pointerAt(chart()->mapToValue(at, series.front()), true);
}

void PlotView::leaveEvent(QEvent* e) {
    QChartView::leaveEvent(e);
    emit pointerAt({}, false);
}

} // namespace tavrin::ui
