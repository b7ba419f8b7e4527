#include "datalog/Recovery.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <system_error>

#include "base/SafeFile.h"
#include "datalog/LogFormat.h"
#include "datalog/LogSession.h"

namespace tavrin::datalog {

namespace {

// A file a session leaves while it runs: ".<stem>_<n><ext>.rows.XXXXXX" (its rows) or
// ".<stem>_<n><ext>.part.XXXXXX" (its finishing copy).
struct Leftover {
    std::string file;   // the name the leftover stands for: "<stem>_<n><ext>"
    std::string lock;   // its session's lock file
    bool spool = false; // rows, not a finishing copy
    std::filesystem::path path;
};

std::optional<Leftover> ParseLeftover(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    constexpr std::size_t kTail = 12; // ".rows.XXXXXX"
    if (name.size() < 2 + kTail || name[0] != '.') return std::nullopt;
    const std::string kind = name.substr(name.size() - kTail, 6);
    if (kind != ".rows." && kind != ".part.") return std::nullopt;
    Leftover l;
    l.file = name.substr(1, name.size() - 1 - kTail);
    l.spool = kind == ".rows.";
    l.path = path;
    const auto dot = l.file.rfind('.');
    const auto us = l.file.rfind('_', dot);
    const bool numbered = dot != std::string::npos && us != std::string::npos && us > 0 &&
                          us + 1 < dot &&
                          std::all_of(l.file.begin() + long(us) + 1, l.file.begin() + long(dot),
                                      [](char c) { return c >= '0' && c <= '9'; });
    if (numbered) l.lock = StemLockName(l.file.substr(0, us), l.file.substr(dot));
    return l;
}

// One stem's leftovers, taken while its lock is held.
void TakeStem(const std::filesystem::path& dir, const std::vector<Leftover>& group, Recovery& out) {
    auto lock = base::FileLock::tryAcquire(dir / group.front().lock);
    if (!lock) {
        auto& list = errno == EWOULDBLOCK ? out.inUse : out.unlockable;
        for (const auto& l : group) list.push_back(l.path.filename().string());
        return;
    }
    DiskFileSystem fs;
    std::vector<std::string> spooled; // files whose rows were found
    for (const bool spools : {true, false}) {
        for (const auto& l : group) {
            if (l.spool != spools) continue;
            const std::string leftover = l.path.filename().string();
            const auto found = base::WithUnheldFile(l.path, [&](std::uint64_t size,
                                                                std::string_view head) {
                if (size > 0 && !IsLogText(head)) {
                    out.notOurs.push_back(leftover);
                } else if (size == 0) {
                    fs.remove(l.path);
                } else if (!l.spool && std::count(spooled.begin(), spooled.end(), l.file) > 0) {
                    fs.remove(l.path); // with its rows there, a finishing copy holds nothing more
                } else if (auto k = KeepIncomplete(fs, l.path, dir, l.file); !k.empty()) {
                    out.kept.push_back(k);
                    if (l.spool) spooled.push_back(l.file);
                }
            });
            if (found == base::Unheld::Held) out.inUse.push_back(leftover);
            if (found == base::Unheld::NotAFile) out.notOurs.push_back(leftover);
        }
    }
}

// "a, b, c" of at most ten names, then how many more there are.
std::string NameList(const std::vector<std::string>& names, std::string_view directory) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(names.size(), 10);
    for (std::size_t i = 0; i < shown; ++i) text += "\r\n" + names[i];
    if (names.size() > shown)
        text += "\r\nand " + std::to_string(names.size() - shown) + " more in \"" +
                std::string(directory) + "\"";
    return text;
}

} // namespace

std::string KeepIncomplete(LogFileSystem& fs, const std::filesystem::path& from,
                           const std::filesystem::path& dir, const std::string& name) {
    for (int k = 1; k < 1000; ++k) {
        const std::string kept = IncompleteName(name, k);
        if (fs.keepAs(from, dir / kept)) return kept;
        if (errno != EEXIST) break;
    }
    return {};
}

Recovery RecoverUnfinished(const std::filesystem::path& dir) {
    Recovery out;
    std::error_code ec;
    std::map<std::string, std::vector<Leftover>> stems; // by lock file
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        auto l = ParseLeftover(e.path());
        if (!l) continue;
        if (l->lock.empty())
            out.notOurs.push_back(e.path().filename().string());
        else
            stems[l->lock].push_back(std::move(*l));
    }
    for (auto& [lock, group] : stems) {
        std::sort(group.begin(), group.end(),
                  [](const Leftover& a, const Leftover& b) { return a.path < b.path; });
        TakeStem(dir, group, out);
    }
    for (auto* list : {&out.kept, &out.inUse, &out.unlockable, &out.notOurs})
        std::sort(list->begin(), list->end());
    return out;
}

std::string RecoveryText(const Recovery& r, std::string_view directory) {
    if (r.empty()) return {};
    std::string text = "\r\nUNFINISHED LOG FILES\r\n";
    if (!r.kept.empty())
        text += "\r\nA logging session ended without finishing its files. Its samples are kept "
                "in \"" +
                std::string(directory) + "\" as:\r\n" + NameList(r.kept, directory) + "\r\n";
    if (!r.inUse.empty())
        text += "\r\nLeft alone, a logging session is still writing them:\r\n" +
                NameList(r.inUse, directory) + "\r\n";
    if (!r.unlockable.empty())
        text += "\r\nLeft alone, the lock file of their session cannot be used:\r\n" +
                NameList(r.unlockable, directory) + "\r\n";
    if (!r.notOurs.empty())
        text += "\r\nLeft alone, they are not log files of this program:\r\n" +
                NameList(r.notOurs, directory) + "\r\n";
    text.resize(text.size() - 2);
    return text;
}

} // namespace tavrin::datalog
