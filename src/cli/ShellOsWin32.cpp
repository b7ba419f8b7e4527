#include "cli/ShellOs.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

#include "cli/CliSeams.h"

namespace tavrin::cli {

namespace {

// Runs on a thread of its own that the console starts; TRUE keeps the process alive.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = 1;
    return TRUE;
}

} // namespace

void CatchInterrupt() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

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
        dir = std::filesystem::path(profile && *profile ? profile : L".") / L"Documents";
    }
    return dir;
}

} // namespace tavrin::cli
