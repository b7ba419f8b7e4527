#include <shlobj.h>
#include <windows.h>

#include <string>

#include "cli/CliSeams.h"
#include "cli/ShellOs.h"

namespace tavrin::cli {

namespace {

// The exit statuses of a shell's signals: Ctrl+C and Ctrl+Break as SIGINT, the console
// closed, a logoff or a shutdown as SIGHUP.
constexpr int kInterrupt = 2;
constexpr int kHangUp = 1;

// Runs on a thread of its own that the console starts; TRUE keeps the process alive after
// Ctrl+C. After the other events the system ends the process when this returns, so it
// waits: the session completes its file and the program ends by itself.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        g_interrupted = kInterrupt;
        return TRUE;
    }
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    g_interrupted = kHangUp;
    ::Sleep(INFINITE);
    return TRUE;
}

} // namespace

void CatchSignals() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// The console's events only raise the flag while a file is written; the command then ends
// with the event's status (see ExitStatus).
HeldSignals::HeldSignals() {
    held_ = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

HeldSignals::~HeldSignals() = default;

void HoldHere() {}

std::filesystem::path ProgramFile() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) return {};
        if (n < name.size()) return name.substr(0, n);
        name.resize(name.size() * 2); // cut short: a longer path
    }
}

std::filesystem::path DocumentsDir() {
    PWSTR path = nullptr;
    std::filesystem::path dir;
    if (::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path) == S_OK) dir = path;
    ::CoTaskMemFree(path);
    if (dir.empty()) {
        const wchar_t* profile = ::_wgetenv(L"USERPROFILE");
        if (profile && *profile) dir = std::filesystem::path(profile) / L"Documents";
    }
    return dir;
}

} // namespace tavrin::cli
