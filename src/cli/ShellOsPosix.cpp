#include "cli/ShellOs.h"

#include <csignal>
#include <cstdlib>
#include <system_error>

#include "cli/CliSeams.h"

namespace tavrin::cli {

namespace {

void OnInterrupt(int) {
    g_interrupted = 1;
}

} // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

std::filesystem::path ProgramFile() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::filesystem::path DocumentsDir() {
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / "Documents";
}

} // namespace tavrin::cli
