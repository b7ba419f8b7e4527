#include "cli/CliSeams.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <thread>

#include "cli/ShellOs.h"

namespace tavrin::cli {

std::atomic<int> g_interrupted = 0;
// Written from a signal handler: that is safe only without a lock.
static_assert(std::atomic<int>::is_always_lock_free);

namespace {

std::string FormatNow(const char* pattern) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[128];
    const std::size_t n = std::strftime(buf, sizeof buf, pattern, &local);
    return std::string(buf, n);
}

} // namespace

ShellPlatform::ShellPlatform() {
    // The process's locale is set once, whichever session (thread) comes first: setlocale
    // while another thread formats a date would be a race.
    static const std::string sep = [] {
        std::setlocale(LC_ALL, "");
        std::string s = ".";
        if (const std::lconv* lc = std::localeconv(); lc && lc->decimal_point && *lc->decimal_point)
            s = lc->decimal_point;
        std::setlocale(LC_NUMERIC, "C");
        return s;
    }();
    decimalSep_ = sep;
}

float ShellPlatform::secondsSinceMidnight() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    const double s = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                     static_cast<double>(ts.tv_nsec) * 1e-9;
    return static_cast<float>(s);
}

std::filesystem::path ShellPlatform::programDir() {
    const auto exe = ProgramFile();
    std::error_code ec;
    return exe.empty() ? std::filesystem::current_path(ec) : exe.parent_path();
}

std::filesystem::path ShellPlatform::userDataDir() {
    const auto docs = DocumentsDir();
    return docs.empty() ? docs : docs / "tavrin";
}

std::string ShellPlatform::shortDate() {
    return FormatNow("%x");
}

std::string ShellPlatform::shortTime() {
    return FormatNow("%H:%M");
}

void StderrMessages::show(std::string_view text, base::MsgIcon, std::string_view) {
    ++count_;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    const auto first = out.find_first_not_of('\n');
    const auto last = out.find_last_not_of('\n');
    say(first == std::string::npos ? std::string() : out.substr(first, last - first + 1));
}

void StderrMessages::say(std::string_view text) {
    std::string out = prefix_;
    for (const char c : text) {
        out += c;
        if (c == '\n') out += prefix_;
    }
    out += '\n';
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
}

void UseClockWaits(base::TimingState& timing) {
    timing.DelayCalibrated = true;
    timing.wait = [](int64_t steps) {
        using namespace std::chrono;
        const auto until = steady_clock::now() + microseconds(steps * 10);
        // Sleeps overshoot by a fraction of a millisecond: the last millisecond is watched
        // on the clock instead, so short sample delays keep their length.
        constexpr auto kWatched = milliseconds(1);
        constexpr auto kSlice = milliseconds(50);
        while (!g_interrupted) {
            const auto left = until - steady_clock::now();
            if (left <= steady_clock::duration::zero()) break;
            if (left > kWatched)
                std::this_thread::sleep_for(
                    std::min<steady_clock::duration>(left - kWatched, kSlice));
        }
    };
}

} // namespace tavrin::cli
