#include "ui/QtSeams.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QStandardPaths>

namespace tavrin::ui {

float QtPlatform::secondsSinceMidnight() {
    const QTime now = QTime::currentTime();
    return static_cast<float>(now.msecsSinceStartOfDay() / 1000.0);
}

RawCommandLine::RawCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string arg = argv[i];
        if (!text_.empty()) text_ += ' ';
        // Quoted as typed, so that an empty argument is still a command line.
        const bool quote = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
        text_ += quote ? '"' + arg + '"' : arg;
    }
    qtArgv_[0] = argc > 0 ? argv[0] : nullptr;
    qtArgc_ = qtArgv_[0] ? 1 : 0;
}

std::string QtPlatform::commandLine() {
    return commandLine_;
}

std::filesystem::path QtPlatform::programDir() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

std::filesystem::path QtPlatform::userDataDir() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    return std::filesystem::path(docs.toStdString()) / "tavrin";
}

base::OsInfo QtPlatform::osInfo() {
    // Only the oldest Windows family (platform 1) refuses USB; everything else reports 2.
    return base::OsInfo{2, 0};
}

std::string QtPlatform::decimalSeparator() {
    return QString(QLocale().decimalPoint()).toStdString();
}

std::string QtPlatform::shortDate() {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string QtPlatform::shortTime() {
    return QLocale().toString(QTime::currentTime(), QLocale::ShortFormat).toStdString();
}

void QtPlatform::setWaitCursor(bool on) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtMessages::show(std::string_view text, base::MsgIcon icon, std::string_view caption) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case base::MsgIcon::None:
        qicon = QMessageBox::NoIcon;
        break;
    case base::MsgIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case base::MsgIcon::Exclamation:
        qicon = QMessageBox::Warning;
        break;
    case base::MsgIcon::Critical:
        qicon = QMessageBox::Critical;
        break;
    }
    QWidget* parent = parent_ && parent_->isVisible() ? parent_ : nullptr;
    // The window system replaces an empty title with the application's name; a blank
    // keeps the box untitled.
    const QString title = caption.empty() ? QString(" ") : Q(caption);
    QMessageBox box(qicon, title, Q(text), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace tavrin::ui
