#pragma once
// The seams for a shell: the clock and locale of the C library instead of the toolkit's,
// message boxes as lines on standard error, and waits taken from the clock.
#include <atomic>
#include <string>

#include "base/Seams.h"
#include "base/Timing.h"

namespace tavrin::cli {}

namespace tavrin::cli {

class ShellPlatform : public base::Platform {
  public:
    // Takes the user's decimal separator from the environment's locale; the C library's
    // numeric locale itself stays "C", as the number texts expect.
    ShellPlatform();
    float secondsSinceMidnight() override;
    std::string commandLine() override { return {}; }
    std::filesystem::path programDir() override;
    std::filesystem::path userDataDir() override;
    base::OsInfo osInfo() override { return base::OsInfo{2, 0}; }
    std::string decimalSeparator() override { return decimalSep_; }
    std::string shortDate() override;
    std::string shortTime() override;
    void setWaitCursor(bool) override {}

  private:
    std::string decimalSep_ = ".";
};

// Each box becomes its text on standard error, CR LF turned into line ends and the blank
// lines around it dropped.
// With several adapters at once each line starts with the session's prefix ("EzUsb2: ").
class StderrMessages : public base::Messages {
  public:
    explicit StderrMessages(std::string prefix = {}) : prefix_(std::move(prefix)) {}
    using base::Messages::show;
    void show(std::string_view text, base::MsgIcon icon, std::string_view caption) override;
    // Lines of the program's own, with the prefix, in one write.
    void say(std::string_view text);
    int count() const { return count_; }

  private:
    std::string prefix_;
    int count_ = 0;
};

// Set by the signal handler to the signal's number; every session's stop check reads it.
extern std::atomic<int> g_interrupted;

// Lets DelayMs wait on the clock, in slices short enough for an interrupt to end it soon.
void UseClockWaits(base::TimingState& timing);

} // namespace tavrin::cli
