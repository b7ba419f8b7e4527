#pragma once
// The program's seams to the world outside the core: the platform (clock, locale,
// directories, OS) and message boxes. Windows install Qt implementations; tests
// install fakes that are scripted and never block.
#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin::base {

// The application's title, used as the caption of message boxes unless one is named.
inline constexpr std::string_view kAppTitle = "TAVRIN_3";

enum class MsgIcon { None, Information, Exclamation, Critical };

class Messages {
  public:
    virtual ~Messages() = default;
    // Shows a modal box with an OK button; returns when the user has closed it.
    virtual void show(std::string_view text, MsgIcon icon, std::string_view caption) = 0;
    void show(std::string_view text) { show(text, MsgIcon::None, kAppTitle); }
};

struct OsInfo {
    float platform = 2; // 1 = oldest family (USB refused up to build 2000)
    float build = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;
    // Seconds since midnight, single precision, as the calibration and log files use it.
    virtual float secondsSinceMidnight() = 0;
    // The process command-line text after the program name; empty when none.
    virtual std::string commandLine() = 0;
    // The directory the program itself lives in.
    virtual std::filesystem::path programDir() = 0;
    // A per-user folder for this program's files, used when the program directory is not writable.
    virtual std::filesystem::path userDataDir() = 0;
    virtual OsInfo osInfo() = 0;
    // The user's decimal separator (one character, usually "." or ",").
    virtual std::string decimalSeparator() = 0;
    // Current date and time of day in the user's short forms.
    virtual std::string shortDate() = 0;
    virtual std::string shortTime() = 0;
    // Screen-wide busy pointer during long busy-waits.
    virtual void setWaitCursor(bool on) = 0;
};

} // namespace tavrin::base
