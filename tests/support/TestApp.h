#pragma once
// Test doubles for the seams and a fresh App per test.
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "app/App.h"

namespace tavrin::test {

// A platform whose clock, command line, locale, directories and OS are scripted.
class FakePlatform : public base::Platform {
  public:
    // Clock readings returned in order; when they run out, the last one repeats
    // (or `clockNow` is returned when none was scripted).
    std::deque<float> clockScript;
    float clockNow = 0;
    std::string cmdLine;
    std::filesystem::path progDir = std::filesystem::temp_directory_path();
    std::filesystem::path dataDir = std::filesystem::temp_directory_path() / "tavrin-user";
    base::OsInfo os{2, 0};
    std::string decimalSep = ".";
    std::string date = "12/6/2026";
    std::string time = "8:15 PM";
    int waitCursorOn = 0, waitCursorOff = 0;

    float secondsSinceMidnight() override;
    std::string commandLine() override { return cmdLine; }
    std::filesystem::path programDir() override { return progDir; }
    std::filesystem::path userDataDir() override { return dataDir; }
    base::OsInfo osInfo() override { return os; }
    std::string decimalSeparator() override { return decimalSep; }
    std::string shortDate() override { return date; }
    std::string shortTime() override { return time; }
    void setWaitCursor(bool on) override { ++(on ? waitCursorOn : waitCursorOff); }
};

struct RecordedMessage {
    std::string text;
    base::MsgIcon icon;
    std::string caption;
};

// Keeps every message box text and returns at once.
class RecordingMessages : public base::Messages {
  public:
    using base::Messages::show;
    std::vector<RecordedMessage> shown;
    void show(std::string_view text, base::MsgIcon icon, std::string_view caption) override {
        shown.push_back({std::string(text), icon, std::string(caption)});
    }
    std::vector<std::string> texts() const;
    void clear() { shown.clear(); }
};

// A fresh App on fake seams; DelayMs is calibrated and counts its steps instead of
// waiting, so no test waits for real time.
struct TestApp {
    explicit TestApp(transport::EzUsbDriver* driver = nullptr);
    FakePlatform platform;
    RecordingMessages messages;
    app::App app;
    long long delaySteps = 0; // 10-microsecond steps DelayMs would have waited
};

} // namespace tavrin::test
