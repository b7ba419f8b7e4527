#include "ui/MeasurementView.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/App.h"
#include "app/Sensor.h"
#include "base/NumberText.h"
#include "registers/FrontEnd.h"
#include "ui/NamedWidgets.h"
#include "ui/QtText.h"
#include "ui/StripChart.h"

namespace tavrin::ui {

namespace {

const char* const kRead = "Read";
const char* const kStop = "STOP";

// Assigning an unchanged text still costs a relayout and a repaint; skip it.
template <class W> void setTextIfChanged(W* w, const QString& text) {
    if (w->text() != text) w->setText(text);
}

// While the loop runs, every pass changes the readouts and lets events run, so the
// window would be repainted thousands of times a second. This filter on the window lets
// a repaint through at most once a frame and delays the others; texts stay current.
class RepaintLimiter : public QObject {
  public:
    explicit RepaintLimiter(QObject* parent) : QObject(parent) {
        later_.setSingleShot(true);
        connect(&later_, &QTimer::timeout, this, [this] {
            if (target_)
                QCoreApplication::postEvent(target_, new QEvent(QEvent::UpdateRequest),
                                            Qt::LowEventPriority);
        });
        last_.start();
    }

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::UpdateRequest) return false;
        const qint64 since = last_.elapsed();
        if (since >= kFrameMs) {
            last_.restart();
            return false;
        }
        // The window still counts this request as pending; post it again when due.
        target_ = obj;
        if (!later_.isActive()) later_.start(int(kFrameMs - since));
        return true;
    }

  private:
    static constexpr qint64 kFrameMs = 16;
    QElapsedTimer last_;
    QTimer later_;
    QPointer<QObject> target_;
};

} // namespace

MeasurementView::MeasurementView(app::App& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName("MeasurementView");
    buildReadouts();
    buildCharts();
    buildStatus();

    auto* left = new QVBoxLayout;
    left->addWidget(frameDataReg);
    left->addWidget(FrmStatus);
    left->addStretch(1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 0);
    top->addWidget(FrameDataPLot, 1);

    repaintLimiter_ = new RepaintLimiter(this);

    waitBetweenPasses = [](int ms) {
        // Serve window events while waiting; a STOP click lands here too.
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    };
}

void MeasurementView::buildReadouts() {
    frameDataReg = Named<QGroupBox>(this, "frameDataReg", "Output  Registers");
    auto* grid = new QGridLayout(frameDataReg);

    static const char* const kNames[9] = {
        "",           "",           "X_Gyro (d/s)", "Y_Gyro (d/s)", "Z_Gyro (d/s)",
        "X_Accl (g)", "Y_Accl (g)", "Z_Accl (g)",   "Temp (degC)"};
    Label10 = Named<QLabel>(frameDataReg, "Label10", "Plot");
    grid->addWidget(Label10, 0, 2, 1, 2, Qt::AlignCenter);
    for (int p = 2; p <= 8; ++p) {
        const int row = p - 1;
        lblReadReg[p] = Named<QLabel>(frameDataReg, Indexed("lblReadReg", p), kNames[p]);
        txtReadReg[p] = Named<QLineEdit>(frameDataReg, Indexed("txtReadReg", p));
        txtReadReg[p]->setAlignment(Qt::AlignRight);
        txtReadReg[p]->setMinimumWidth(90);
        grid->addWidget(lblReadReg[p], row, 0);
        grid->addWidget(txtReadReg[p], row, 1);
        if (p > 7) continue;
        ckG[p] = Named<QCheckBox>(frameDataReg, Indexed("ckG", p));
        auto* swatch = Named<QFrame>(frameDataReg, Indexed("Shape", p));
        swatch->setFixedSize(12, 12);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        static const QRgb kSwatch[3] = {qRgb(255, 0, 0), qRgb(0, 223, 0), qRgb(0, 0, 192)};
        QPalette pal = swatch->palette();
        pal.setColor(QPalette::Window, QColor(kSwatch[(p - 2) % 3]));
        swatch->setPalette(pal);
        swatch->setVisible(false);
        Shape[p] = swatch;
        grid->addWidget(ckG[p], row, 2);
        grid->addWidget(swatch, row, 3);
        connect(ckG[p], &QCheckBox::toggled, this, [this, p] { ckG_Click(p); });
    }

    cmdReadData = Named<QPushButton>(frameDataReg, "cmdReadData", kRead);
    cmdReadData->setToolTip("Read the Output Registers");
    ckLoop = Named<QCheckBox>(frameDataReg, "ckLoop", "Loop");
    txtLoopDelay = Named<QLineEdit>(frameDataReg, "txtLoopDelay");
    txtLoopDelay->setMaximumWidth(60);
    Label11 = Named<QLabel>(frameDataReg, "Label11", "Loop Delay msec");
    grid->addWidget(cmdReadData, 8, 0);
    grid->addWidget(ckLoop, 8, 1);
    grid->addWidget(txtLoopDelay, 9, 0);
    grid->addWidget(Label11, 9, 1, 1, 3);

    connect(cmdReadData, &QPushButton::clicked, this, &MeasurementView::cmdReadData_Click);
    connect(ckLoop, &QCheckBox::toggled, this, &MeasurementView::ckLoop_Click);
    connect(txtLoopDelay, &QLineEdit::textChanged, this, &MeasurementView::txtLoopDelay_Change);
}

void MeasurementView::buildStatus() {
    FrmStatus = Named<QGroupBox>(this, "FrmStatus", "Status Register");
    auto* grid = new QGridLayout(FrmStatus);
    CmdUpdateStatus = Named<QPushButton>(FrmStatus, "CmdUpdateStatus", "Read Status");
    CmdUpdateStatus->setToolTip("Display the Status Register");
    grid->addWidget(CmdUpdateStatus, 0, 0, 1, 2);

    struct Row {
        QLabel** caption;
        const char* captionName;
        const char* text;
        QLabel** flag;
        const char* flagName;
    };
    const Row rows[6] = {
        {&lblLowSupply, "lblLowSupply", "Power Supply Low", &lblLowSupplyFlag, "lblLowSupplyFlag"},
        {&lblHighSupply, "lblHighSupply", "Power Supply High", &lblHighSupplyFlag,
         "lblHighSupplyFlag"},
        {&lblWriteFail, "lblWriteFail", "Control Write Flag", &lblWriteFailFlag,
         "lblWriteFailFlag"},
        {&Label20, "Label20", "SPI Write Flag", &lblSpiWriteFlag, "lblSpiWriteFlag"},
        {&lblAlarm1Set, "lblAlarm1Set", "Alarm1 Set", &lblAlarm1SetFlag, "lblAlarm1SetFlag"},
        {&lblAlarm2Set, "lblAlarm2Set", "Alarm2 Set", &lblAlarm2SetFlag, "lblAlarm2SetFlag"},
    };
    for (int i = 0; i < 6; ++i) {
        *rows[i].caption = Named<QLabel>(FrmStatus, rows[i].captionName, rows[i].text);
        QLabel* flag = Named<QLabel>(FrmStatus, rows[i].flagName, "OK");
        flag->setAlignment(Qt::AlignCenter);
        flag->setMinimumWidth(60);
        flag->setFrameShape(QFrame::Panel);
        flag->setFrameShadow(QFrame::Sunken);
        *rows[i].flag = flag;
        grid->addWidget(*rows[i].caption, i + 1, 0);
        grid->addWidget(flag, i + 1, 1);
    }
    connect(CmdUpdateStatus, &QPushButton::clicked, this, &MeasurementView::CmdUpdateStatus_Click);
}

// ---- Readouts and the loop -------------------------------------------------------

bool MeasurementView::loopContinues() const {
    return cmdReadData->text() == kStop && ckLoop->isChecked();
}

void MeasurementView::limitRepaints(bool on) {
    if (on) {
        limitedWindow_ = window();
        limitedWindow_->installEventFilter(repaintLimiter_);
    } else if (limitedWindow_) {
        limitedWindow_->removeEventFilter(repaintLimiter_);
        limitedWindow_ = nullptr;
    }
}

void MeasurementView::ReadData() {
    bool ownsLoop = false;
    for (;;) {
        const std::string sep = app_.platform.decimalSeparator();
        view::Samples samples{};
        for (int16_t p = 2; p <= 8; ++p) {
            const registers::RegResults res = app::Read(app_, p);
            setTextIfChanged(txtReadReg[p], Q(base::FixedText(res.RegScaled, 2, sep)));
            samples[p] = res.RegScaled;
        }
        app_.doEvents();
        PlotDataPointsGy(samples, app_.plot.GyPlotMax, app_.plot.GyPlotMin);
        PlotDataPointsAcc(samples, app_.plot.AccPlotMax, app_.plot.AccPlotMin);
        CmdUpdateStatus_Click();

        if (!loopContinues()) break;
        if (!looping_) {
            looping_ = ownsLoop = true;
            limitRepaints(true);
            ratePasses_ = 0;
            rateClock_.start();
            emit loopRunning(true);
        }
        countPass();
        const int ms = view::LoopDelayMs(txtLoopDelay->text().toStdString(), sep);
        if (ms > 0 && waitBetweenPasses) {
            waitBetweenPasses(ms);
            // A click served during the wait may have ended the loop.
            if (!loopContinues()) break;
        }
    }
    if (ownsLoop) {
        limitRepaints(false);
        looping_ = false;
        emit loopRunning(false);
    }
}

void MeasurementView::countPass() {
    ++ratePasses_;
    const qint64 ms = rateClock_.elapsed();
    if (ms >= 500) {
        emit passRate(ratePasses_ * 1000.0 / double(ms));
        ratePasses_ = 0;
        rateClock_.restart();
    }
}

void MeasurementView::cmdReadData_Click() {
    if (app_.usb.InterfaceKind == transport::InterfaceNone) {
        // The transport was dropped while a loop runs: STOP must still stop it.
        if (cmdReadData->text() == kStop) cmdReadData->setText(kRead);
        return;
    }
    if (ckLoop->isChecked()) cmdReadData->setText(cmdReadData->text() == kRead ? kStop : kRead);
    app_.doEvents();
    ReadData();
}

void MeasurementView::ckLoop_Click() {
    if (!ckLoop->isChecked() && cmdReadData->text() == kStop) cmdReadData->setText(kRead);
}

void MeasurementView::txtLoopDelay_Change() {
    const auto fixed = view::LoopDelayCorrection(txtLoopDelay->text().toStdString(),
                                                 app_.platform.decimalSeparator());
    // Setting the text runs this check once more, and the new text passes.
    if (fixed) txtLoopDelay->setText(Q(*fixed));
}

void MeasurementView::startLoop() {
    ckLoop->setChecked(true);
}

void MeasurementView::stopLoop() {
    ckLoop->setChecked(false);
}

void MeasurementView::resetReadouts() {
    for (int c = 2; c <= 7; ++c) {
        Shape[c]->show();
        ckG[c]->setChecked(true);
    }
    lblCurVal1->setText("0");
    lblCurSam1->setText("0");
    lblCurVal2->setText("0");
    lblCurSam2->setText("0");
    txtLoopDelay->setText("5");
}

QString MeasurementView::temperatureText() const {
    return txtReadReg[8]->text();
}

// ---- Charts ----------------------------------------------------------------------

void MeasurementView::plotStep(StripChart* pic, view::TraceState& trace, int firstChannel,
                               const view::Samples& samples, double& max, double& min,
                               std::array<QLabel*, 3> limitLabels) {
    const view::LimitTexts texts = view::LimitLabels(max, min, app_.platform.decimalSeparator());
    setTextIfChanged(limitLabels[0], Q(texts.upper));
    setTextIfChanged(limitLabels[1], Q(texts.middle));
    setTextIfChanged(limitLabels[2], Q(texts.lower));

    view::ChannelFlags checked{};
    for (int c = firstChannel; c < firstChannel + 3; ++c) checked[c] = ckG[c]->isChecked();
    pic->draw(view::PlotStep(trace, samples, firstChannel, max, min, checked), PlotColor);
}

void MeasurementView::PlotDataPointsGy(const view::Samples& samples, double& max, double& min) {
    plotStep(pic1, traceGy_, 2, samples, max, min, {lblpFS1, lblmidS1, lblnFS1});
}

void MeasurementView::PlotDataPointsAcc(const view::Samples& samples, double& max, double& min) {
    plotStep(pic2, traceAcc_, 5, samples, max, min, {lblpFS2, lblmidS2, lblnFS2});
}

void MeasurementView::setPlotColors(const std::array<QRgb, 9>& colors) {
    for (int c = 2; c <= 7; ++c) PlotColor[c] = colors[c];
}

void MeasurementView::showAccLimits(const QString& lower, const QString& middle,
                                    const QString& upper) {
    lblnFS2->setText(lower);
    lblmidS2->setText(middle);
    lblpFS2->setText(upper);
}

void MeasurementView::showDeviceCaption(const QString& caption) {
    FrameDataPLot->setTitle(caption);
}

void MeasurementView::scaleStep(view::Axis axis) {
    const bool gyro = axis == view::Axis::Gyro;
    QLabel* upper = gyro ? lblpFS1 : lblpFS2;
    const std::string sep = app_.platform.decimalSeparator();
    double& max = gyro ? app_.plot.GyPlotMax : app_.plot.AccPlotMax;
    double& min = gyro ? app_.plot.GyPlotMin : app_.plot.AccPlotMin;
    max = view::NextScale(axis, upper->text().toStdString(), sep);
    min = -max;
    const view::LimitTexts texts = view::LimitLabels(max, min, sep);
    setTextIfChanged(upper, Q(texts.upper));
    setTextIfChanged(gyro ? lblmidS1 : lblmidS2, Q(texts.middle));
    setTextIfChanged(gyro ? lblnFS1 : lblnFS2, Q(texts.lower));
}

void MeasurementView::cmdScaleGyro_Click() {
    scaleStep(view::Axis::Gyro);
}
void MeasurementView::cmdScaleAcc_Click() {
    scaleStep(view::Axis::Accel);
}

void MeasurementView::ckG_Click(int index) {
    if (index >= 2 && index <= 7) Shape[index]->setVisible(ckG[index]->isChecked());
}

void MeasurementView::hover(view::Axis axis, double x, double y) {
    const view::HoverTexts t = view::HoverReadout(axis, x, y, app_.platform.decimalSeparator());
    const bool gyro = axis == view::Axis::Gyro;
    setTextIfChanged(gyro ? lblCurSam1 : lblCurSam2, Q(t.sample));
    setTextIfChanged(gyro ? lblCurVal1 : lblCurVal2, Q(t.value));
}

// ---- Status ----------------------------------------------------------------------

void MeasurementView::setFlag(QLabel* flag, bool alarm) {
    // Colour and caption change only on a change of state; "OK" on the default
    // background before the first refresh counts as a state of its own.
    const int state = alarm ? 2 : 1;
    if (flag->property("flagState").toInt() == state) return;
    flag->setProperty("flagState", state);
    QPalette pal = flag->palette();
    pal.setColor(QPalette::Window, alarm ? QColor(255, 0, 0) : QColor(0, 255, 0));
    flag->setPalette(pal);
    flag->setAutoFillBackground(true);
    flag->setText(alarm ? "Alarm" : "OK");
    flag->setToolTip(QString());
}

void MeasurementView::setFlagNotRead(QLabel* flag, const QString& why) {
    // A read that reached nothing must not look like a healthy sensor.
    flag->setProperty("flagState", 3);
    flag->setAutoFillBackground(false);
    flag->setPalette(QPalette());
    setTextIfChanged(flag, QString::fromUtf8("\u2013"));
    flag->setToolTip(why);
}

void MeasurementView::CmdUpdateStatus_Click() {
    QLabel* const flags[6] = {lblLowSupplyFlag, lblHighSupplyFlag, lblWriteFailFlag,
                              lblSpiWriteFlag,  lblAlarm1SetFlag,  lblAlarm2SetFlag};
    const char* why = nullptr;
    if (app_.usb.InterfaceKind != transport::InterfaceUsb) {
        why = "Not read: no interface chosen";
    } else {
        app::Read(app_, app_.regs.iDIAG_STAT);
        // Nothing is sent without a ready adapter, and a failed transfer drops it: either
        // way the word is not the sensor's.
        if (!app_.UsbReady()) why = "Not read: no adapter ready";
    }
    if (why) {
        for (QLabel* f : flags) setFlagNotRead(f, why);
        return;
    }
    const int32_t word = app_.res.RegValue;
    for (int i = 0; i < 6; ++i) setFlag(flags[i], (word & view::kStatusMasks[i]) != 0);
}

} // namespace tavrin::ui
