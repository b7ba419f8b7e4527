// The main window's two strip charts with their titles, scale buttons, hover readouts and
// scale labels, and the sample axis beneath them.
#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "app/App.h"
#include "base/NumberText.h"
#include "datalog/LogFormat.h"
#include "ui/MeasurementView.h"
#include "ui/NamedWidgets.h"
#include "ui/PlotView.h"
#include "ui/QtText.h"
#include "ui/StripChart.h"

namespace tavrin::ui {

namespace {

// Places the x-axis tick labels and tick lines under a chart at their sample positions.
class AxisStrip : public QWidget {
  public:
    AxisStrip(QWidget* parent, std::array<QLabel*, 5>& labels, std::array<QWidget*, 5>& ticks)
        : QWidget(parent) {
        static const char* const kTicks[5] = {"0", "85", "175", "260", "350"};
        for (int i = 0; i < 5; ++i) {
            labels[i] = Named<QLabel>(this, Indexed("lblPlotX", i), kTicks[i]);
            labels[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            auto* tick = Named<QFrame>(this, Indexed("LineX", i));
            tick->setFrameShape(QFrame::VLine);
            tick->setFixedSize(1, 5);
            ticks[i] = tick;
            labels_[i] = labels[i];
            ticks_[i] = tick;
            values_[i] = QString(kTicks[i]).toInt();
        }
        setMinimumHeight(fontMetrics().height() + 6);
    }

  protected:
    void resizeEvent(QResizeEvent*) override {
        const int span = std::max(1, width() - 1);
        for (int i = 0; i < 5; ++i) {
            const int x = values_[i] * span / view::kSweepWidth;
            ticks_[i]->move(x, 0);
            const int w = labels_[i]->sizeHint().width();
            labels_[i]->setGeometry(std::clamp(x - w / 2, 0, std::max(0, width() - w)), 5, w,
                                    height() - 5);
        }
    }

  private:
    std::array<QLabel*, 5> labels_{};
    std::array<QWidget*, 5> ticks_{};
    std::array<int, 5> values_{};
};

// The object names of one chart row's controls, with its title and units.
struct ChartRowNames {
    const char *pic, *title, *titleText, *units, *unitsText, *scale, *pFS, *mid, *nFS, *sam, *val;
};
constexpr ChartRowNames kRateRow{"pic1",      "Label15",      "Rate",      "Lbl1Units",
                                 "deg / sec", "cmdScaleGyro", "lblpFS1",   "lblmidS1",
                                 "lblnFS1",   "lblCurSam1",   "lblCurVal1"};
constexpr ChartRowNames kAccelRow{"pic2",    "Label16",     "Accel.",    "lblUnits2",
                                  "g",       "cmdScaleAcc", "lblpFS2",   "lblmidS2",
                                  "lblnFS2", "lblCurSam2",  "lblCurVal2"};

struct ChartRow {
    StripChart* pic;
    QLabel *title, *units;
    QPushButton* scale;
    QLabel *pFS, *mid, *nFS, *sam, *val;
};

// One chart with its title, units, Scale button, hover readout and scale labels, in `row`.
ChartRow BuildChartRow(QWidget* frame, QGridLayout* grid, int row, int height,
                       const ChartRowNames& n) {
    ChartRow c{};
    c.pic = new StripChart(frame, height);
    c.pic->setObjectName(n.pic);
    c.title = Named<QLabel>(frame, n.title, n.titleText);
    c.units = Named<QLabel>(frame, n.units, n.unitsText);
    c.scale = Named<QPushButton>(frame, n.scale, "Scale");
    c.pFS = Named<QLabel>(frame, n.pFS, QString());
    c.mid = Named<QLabel>(frame, n.mid, QString());
    c.nFS = Named<QLabel>(frame, n.nFS, QString());
    for (QLabel* l : {c.pFS, c.mid, c.nFS}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setMinimumWidth(40);
    }
    c.sam = Named<QLabel>(frame, n.sam, QString());
    c.val = Named<QLabel>(frame, n.val, QString());

    auto* side = new QVBoxLayout;
    side->addWidget(c.title);
    side->addWidget(c.units);
    side->addWidget(c.scale);
    side->addStretch(1);
    auto* hover = new QGridLayout;
    hover->addWidget(new QLabel("sample", frame), 0, 0);
    hover->addWidget(c.sam, 0, 1);
    hover->addWidget(new QLabel("value", frame), 1, 0);
    hover->addWidget(c.val, 1, 1);
    side->addLayout(hover);
    grid->addLayout(side, row, 0);

    auto* limits = new QVBoxLayout;
    limits->addWidget(c.pFS, 0, Qt::AlignTop | Qt::AlignRight);
    limits->addStretch(1);
    limits->addWidget(c.mid, 0, Qt::AlignRight);
    limits->addStretch(1);
    limits->addWidget(c.nFS, 0, Qt::AlignBottom | Qt::AlignRight);
    grid->addLayout(limits, row, 1);
    grid->addWidget(c.pic, row, 2);
    grid->setRowStretch(row, height);
    return c;
}

} // namespace

void MeasurementView::buildCharts() {
    FrameDataPLot = Named<QGroupBox>(this, "FrameDataPLot", "Data Plot");
    auto* grid = new QGridLayout(FrameDataPLot);

    // The rate chart is 255 pixels high, the acceleration chart 258; both grow in
    // that proportion.
    const ChartRow rate = BuildChartRow(FrameDataPLot, grid, 0, 255, kRateRow);
    pic1 = rate.pic, Label15 = rate.title, Lbl1Units = rate.units, cmdScaleGyro = rate.scale;
    lblpFS1 = rate.pFS, lblmidS1 = rate.mid, lblnFS1 = rate.nFS;
    lblCurSam1 = rate.sam, lblCurVal1 = rate.val;
    const ChartRow accel = BuildChartRow(FrameDataPLot, grid, 1, 258, kAccelRow);
    pic2 = accel.pic, Label16 = accel.title, lblUnits2 = accel.units, cmdScaleAcc = accel.scale;
    lblpFS2 = accel.pFS, lblmidS2 = accel.mid, lblnFS2 = accel.nFS;
    lblCurSam2 = accel.sam, lblCurVal2 = accel.val;

    grid->addWidget(new AxisStrip(FrameDataPLot, lblPlotX, LineX), 2, 2);
    LblXaxis = Named<QLabel>(FrameDataPLot, "LblXaxis", "Sample Number");
    grid->addWidget(LblXaxis, 3, 2, Qt::AlignHCenter);
    lblYscale = Named<QLabel>(FrameDataPLot, "lblYscale", QString());
    grid->addWidget(lblYscale, 3, 0);
    grid->setColumnStretch(2, 1);

    connect(cmdScaleGyro, &QPushButton::clicked, this, &MeasurementView::cmdScaleGyro_Click);
    connect(cmdScaleAcc, &QPushButton::clicked, this, &MeasurementView::cmdScaleAcc_Click);
    connect(pic1, &StripChart::pointerMoved, this,
            [this](double x, double y) { hover(view::Axis::Gyro, x, y); });
    connect(pic2, &StripChart::pointerMoved, this,
            [this](double x, double y) { hover(view::Axis::Accel, x, y); });
    for (const view::Axis axis : {view::Axis::Gyro, view::Axis::Accel}) {
        StripChart* pic = axis == view::Axis::Gyro ? pic1 : pic2;
        pic->copyValues = [this, axis] { QApplication::clipboard()->setText(chartValues(axis)); };
        pic->save = [this, axis](const std::filesystem::path& f) { saveChartImage(axis, f); };
    }
}

QString MeasurementView::chartValues(view::Axis axis) const {
    const std::vector<StripChart::Shown> rows = (axis == view::Axis::Gyro ? pic1 : pic2)->shown();
    const int first = view::FirstChannel(axis);
    const datalog::FileFormat fmt = datalog::DecideFileFormat(app_.platform);
    datalog::ColumnChoice cols; // box b holds register-map position b, as channel b does
    cols.disableND = true;
    for (int c = first; c < first + 3; ++c)
        cols.box[c] =
            std::any_of(rows.begin(), rows.end(), [c](const auto& r) { return r.drawn[c]; });
    std::string text = datalog::TitleLine(cols, fmt.fieldSep);
    long long n = 0;
    for (const StripChart::Shown& r : rows) {
        text += std::to_string(++n) + fmt.fieldSep;
        for (int c = first; c < first + 3; ++c) {
            if (!cols.box[c]) continue;
            if (r.drawn[c]) text += base::GeneralText(r.value[c], fmt.decimalSep);
            text += fmt.fieldSep;
        }
        text += datalog::kCRLF;
    }
    return Q(text);
}

bool MeasurementView::saveChartImage(view::Axis axis, const std::filesystem::path& file) {
    std::string error;
    if (SaveImage(axis == view::Axis::Gyro ? pic1 : pic2, file, {}, error)) return true;
    app_.messages.show(error, base::MsgIcon::Exclamation, base::kAppTitle);
    return false;
}

} // namespace tavrin::ui
