// The analysis window's exports: the curve and the spectrum as CSV, the fitted figures as
// imu.yaml, the plots as PNG, each through the one output writer and never over the log.
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "analysis/ImuYaml.h"
#include "base/SafeFile.h"
#include "ui/PlotView.h"
#include "ui/QtText.h"
#include "ui/TimePlot.h"
#include "ui/frmAnalysis.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

an::ImuYamlResult ImuYamlOf(const an::AnalysisResult& r, const std::filesystem::path& source) {
    return an::ImuYaml(an::ImuYamlInputOf(r, source.filename().string()));
}

} // namespace

void frmAnalysis::connectExports() {
    const auto saveAs = [this](QPushButton* b, const char* title, const char* filter,
                               bool (frmAnalysis::*write)(const std::filesystem::path&)) {
        connect(b, &QPushButton::clicked, this, [this, title, filter, write] {
            const QString f = QFileDialog::getSaveFileName(this, title, QString(), filter);
            if (!f.isEmpty()) (this->*write)(f.toStdString());
        });
    };
    saveAs(cmdExportCsv, "Export curve", "CSV files (*.csv)", &frmAnalysis::exportCsv);
    saveAs(cmdExportSpectrum, "Export spectrum", "CSV files (*.csv)",
           &frmAnalysis::exportSpectrumCsv);
    saveAs(cmdExportPng, "Export plot", "PNG images (*.png)", &frmAnalysis::exportPng);
    connect(cmdExportImuYaml, &QPushButton::clicked, this, [this] {
        // Refused before a file is asked for when the figures are not there.
        if (const auto y = ImuYamlOf(views_.analysis, source_); !y.error.empty())
            return fail(Q(y.error) + ".");
        const QString f = QFileDialog::getSaveFileName(this, "Export imu.yaml", "imu.yaml",
                                                       "YAML files (*.yaml *.yml)");
        if (!f.isEmpty()) exportImuYaml(f.toStdString());
    });
}

bool frmAnalysis::exportCsv(const std::filesystem::path& file) {
    if (views_.analysis.channels.empty()) return false;
    std::string error;
    if (!base::WriteOutputFile(file, an::CurveCsvOf(views_.analysis), error, {source_})) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Curve written to " + Q(file.string()) + ".");
    return true;
}

bool frmAnalysis::exportSpectrumCsv(const std::filesystem::path& file) {
    const an::SpectrumResult r = an::SpectraOf(views_);
    if (r.channels.empty()) {
        fail("No channel has a spectrum.");
        return false;
    }
    std::string error;
    if (!base::WriteOutputFile(file, an::SpectrumCsv(r), error, {source_})) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Spectrum written to " + Q(file.string()) + ".");
    return true;
}

bool frmAnalysis::exportImuYaml(const std::filesystem::path& file) {
    if (views_.analysis.channels.empty()) return false;
    const an::ImuYamlResult y = ImuYamlOf(views_.analysis, source_);
    std::string error = y.error.empty() ? "" : y.error + ".";
    if (error.empty() && base::WriteOutputFile(file, y.text, error, {source_})) {
        lblStatus->setText("Noise figures written to " + Q(file.string()) + ".");
        return true;
    }
    fail(Q(error));
    return false;
}

bool frmAnalysis::exportPng(const std::filesystem::path& file) {
    if (views_.analysis.channels.empty()) return false;
    QWidget* const plots[] = {chartView, spectrumView, timeTab->view()};
    return savePlot(plots[std::clamp(tabResults->currentIndex(), 0, 2)], file);
}

bool frmAnalysis::savePlot(QWidget* plot, const std::filesystem::path& file) {
    std::string error;
    if (!SaveImage(plot, file, {source_}, error)) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Plot written to " + Q(file.string()) + ".");
    return true;
}

} // namespace tavrin::ui
