#pragma once
// Qt implementations of the platform and message-box seams.
#include <QWidget>

#include "app/Seams.h"

namespace tavrin {

class QtPlatform : public Platform {
public:
    float secondsSinceMidnight() override;
    std::string commandLine() override;
    std::filesystem::path programDir() override;
    std::filesystem::path userDataDir() override;
    OsInfo osInfo() override;
    std::string decimalSeparator() override;
    std::string shortDate() override;
    std::string shortTime() override;
    void setWaitCursor(bool on) override;
};

class QtMessages : public Messages {
public:
    using Messages::show;
    void show(std::string_view text, MsgIcon icon, std::string_view caption) override;
    // Boxes are placed over this window when it is visible.
    void setParentWindow(QWidget* w) { parent_ = w; }

private:
    QWidget* parent_ = nullptr;
};

} // namespace tavrin
