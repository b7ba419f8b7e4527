#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "cli/CliSeams.h"
#include "cli/ShellOs.h"

namespace tavrin::cli {

namespace {

void OnSignal(int signo) {
    g_interrupted = signo;
}

sigset_t CaughtSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    return set;
}

std::filesystem::path HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir)
        return pw->pw_dir;
    return {};
}

} // namespace

void CatchSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

HeldSignals::HeldSignals() {
    const sigset_t set = CaughtSignals();
    held_ = ::sigprocmask(SIG_BLOCK, &set, nullptr) == 0;
}

HeldSignals::~HeldSignals() {
    const sigset_t set = CaughtSignals();
    if (held_) ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void HoldHere() {
    std::raise(SIGSTOP);
}

std::filesystem::path ProgramFile() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

// $XDG_CONFIG_HOME/user-dirs.dirs names it (XDG_DOCUMENTS_DIR="$HOME/Dokumente"), else
// ~/Documents, as xdg-user-dir answers.
std::filesystem::path DocumentsDir() {
    const auto home = HomeDir();
    if (home.empty()) return {};
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const auto dirs =
        (config && *config == '/' ? std::filesystem::path(config) : home / ".config") /
        "user-dirs.dirs";
    std::ifstream in(dirs);
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) return home / value.substr(value.size() > 5 ? 6 : 5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return home / "Documents";
}

} // namespace tavrin::cli
