#pragma once
// Qt implementations of the platform and message-box seams.
#include <QWidget>
#include <array>
#include <string>

#include "base/Seams.h"

namespace tavrin::ui {

// The command line as the process got it. The program takes no Qt options, so Qt is
// given the program name only and never acts on (or removes) what the user typed.
class RawCommandLine {
  public:
    RawCommandLine(int argc, char** argv);
    // The text after the program name; empty or blank arguments are kept, quoted.
    const std::string& text() const { return text_; }
    int& qtArgc() { return qtArgc_; }
    char** qtArgv() { return qtArgv_.data(); }

  private:
    std::string text_;
    int qtArgc_ = 0;
    std::array<char*, 2> qtArgv_{};
};

class QtPlatform : public base::Platform {
  public:
    explicit QtPlatform(std::string commandLine = {}) : commandLine_(std::move(commandLine)) {}
    float secondsSinceMidnight() override;
    std::string commandLine() override;
    std::filesystem::path programDir() override;
    std::filesystem::path userDataDir() override;
    base::OsInfo osInfo() override;
    std::string decimalSeparator() override;
    std::string shortDate() override;
    std::string shortTime() override;
    void setWaitCursor(bool on) override;

  private:
    std::string commandLine_;
};

class QtMessages : public base::Messages {
  public:
    using base::Messages::show;
    void show(std::string_view text, base::MsgIcon icon, std::string_view caption) override;
    // Boxes are placed over this window when it is visible.
    void setParentWindow(QWidget* w) { parent_ = w; }

  private:
    QWidget* parent_ = nullptr;
};

} // namespace tavrin::ui
