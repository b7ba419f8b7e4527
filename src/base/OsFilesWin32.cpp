#include "base/OsFiles.h"

#include <windows.h>

#include <string>
#include <system_error>

namespace tavrin::base {

// A folder's attributes do not say whether files may be made in it (its access list
// does), so try: a file that vanishes when closed.
bool CanCreateFilesIn(const std::filesystem::path& dir) {
    const std::wstring name = L"tavrin-write-check-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(::GetTickCount64()) + L".tmp";
    const std::filesystem::path probe = dir / name;
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool IsOwnFolder(const std::filesystem::path&) {
    return true;
}

bool IsSystemFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    const std::wstring path = std::filesystem::weakly_canonical(dir, ec).wstring() + L"\\";
    for (const wchar_t* var : {L"ProgramFiles", L"ProgramFiles(x86)", L"SystemRoot"}) {
        const wchar_t* root = ::_wgetenv(var);
        if (!root || !*root) continue;
        const std::wstring prefix = std::wstring(root) + L"\\";
        if (path.size() >= prefix.size() &&
            ::_wcsnicmp(path.c_str(), prefix.c_str(), prefix.size()) == 0)
            return true;
    }
    return false;
}

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) {
    const std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(file.c_str(), wmode.c_str());
}

void GuardStandardDescriptors() {
    // A console program started without handles gets none; the C runtime then leaves
    // descriptors 0-2 unassigned, and nothing later opened takes their numbers.
}

bool StandardOutputWasClosed() {
    return false;
}

int WriteIntoSpecialFile(const std::filesystem::path& file, std::string_view text) {
    std::FILE* f = OpenFile(file, "wb");
    if (!f) return 0;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok ? 1 : 0;
}

} // namespace tavrin::base
