#pragma once
// Helpers of the logging tests: a scratch directory, file reading, and a file system
// that refuses a creation or fails writes partway through a file.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <vector>

#include "datalog/LogFiles.h"

namespace tavrin::test {

using Lines = std::vector<std::string>;

inline Lines SplitFields(const std::string& line, char sep = ',') {
    Lines out(1);
    for (char c : line) c == sep ? (void)out.emplace_back() : out.back().push_back(c);
    return out;
}

// A new, empty directory of its own, removed with everything in it.
struct ScratchDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("tavrin-log-" + std::to_string(std::random_device{}()) +
                                  std::to_string(std::random_device{}()));
    ScratchDir() { std::filesystem::create_directory(path); }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    Lines names() const {
        Lines out;
        for (const auto& e : std::filesystem::directory_iterator(path))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string read(const std::string& name) const {
        std::ostringstream s;
        s << std::ifstream(path / name, std::ios::binary).rdbuf();
        return s.str();
    }
    // Every file with its number of lines, as "name:lines " in name order.
    std::string files() const {
        std::string out;
        for (const auto& n : names()) out += n + ":" + std::to_string(lines(n).size()) + " ";
        return out;
    }
    // Lines ended by CR LF; text after the last CR LF, or a line ended by LF alone, shows
    // up marked.
    Lines lines(const std::string& name = "DATALOG_1.csv") const {
        Lines out = SplitFields(read(name), '\n');
        for (auto& l : out) l = l.ends_with('\r') ? l.substr(0, l.size() - 1) : l + "<no CRLF>";
        if (out.back() == "<no CRLF>") out.pop_back();
        return out;
    }
};

// The disk, except that creating a file whose name starts with `refuse` fails with
// errno `refuseErrno`, a file whose name starts with `shortFile` takes `shortAfter` bytes,
// then refuses writes like a full disk, and `free` (when set) is the free space reported.
class FaultyFileSystem : public datalog::DiskFileSystem {
  public:
    std::string refuse, shortFile;
    int refuseErrno = 0;
    std::size_t shortAfter = 0;
    std::optional<std::uint64_t> free;
    bool keepFails = false; // no file can be renamed to a kept name (a medium that fails)
    std::function<void(const std::string& name)> onCreate;

    std::unique_ptr<datalog::LogWriter> createTemp(const std::filesystem::path& dir,
                                                   const std::string& prefix,
                                                   std::filesystem::path& made) override {
        if (onCreate) onCreate(prefix);
        if (!refuse.empty() && prefix.starts_with(refuse)) return errno = refuseErrno, nullptr;
        auto inner = datalog::DiskFileSystem::createTemp(dir, prefix, made);
        if (!inner) return nullptr;
        const bool cut = !shortFile.empty() && prefix.starts_with(shortFile);
        return std::make_unique<Writer>(std::move(inner), cut ? shortAfter : SIZE_MAX);
    }
    bool keepAs(const std::filesystem::path& from, const std::filesystem::path& to) override {
        return keepFails ? (errno = EIO, false) : datalog::DiskFileSystem::keepAs(from, to);
    }
    std::optional<std::uint64_t> freeBytes(const std::filesystem::path& dir) override {
        return free ? free : datalog::DiskFileSystem::freeBytes(dir);
    }

  private:
    struct Writer : datalog::LogWriter {
        Writer(std::unique_ptr<datalog::LogWriter> w, std::size_t n)
            : inner(std::move(w)), left(n) {}
        bool write(std::string_view d) override {
            const std::size_t n = std::min(left, d.size());
            inner->write(d.substr(0, n));
            left -= n;
            return n == d.size() || (errno = ENOSPC, false);
        }
        bool sync() override { return inner->sync(); }
        bool truncate(std::uint64_t size) override { return inner->truncate(size); }
        bool close() override { return inner->close(); }
        std::unique_ptr<datalog::LogWriter> inner;
        std::size_t left;
    };
};

} // namespace tavrin::test
