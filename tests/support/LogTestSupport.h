#pragma once
// Helpers of the logging tests: a scratch directory, file reading, and a file system
// that refuses a creation or fails writes partway through a file.
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datalog/LogFiles.h"

namespace tavrin::test {

using Lines = std::vector<std::string>;

// A new, empty directory of its own (Windows has no mkdtemp).
inline std::filesystem::path MakeScratchDir() {
#ifdef _WIN32
    std::random_device seed;
    for (;;) {
        auto p = std::filesystem::temp_directory_path() /
                 ("tavrin-log-" + std::to_string(seed()) + std::to_string(seed()));
        if (std::filesystem::create_directory(p)) return p;
    }
#else
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-log-XXXXXX").string();
    return ::mkdtemp(tmpl.data());
#endif
}

struct ScratchDir {
    std::filesystem::path path = MakeScratchDir();
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
    // Lines ended by CR LF; text after the last CR LF shows up marked.
    Lines lines(const std::string& name = "DATALOG_1.csv") const {
        const std::string text = read(name);
        Lines out;
        for (std::size_t at = 0, pos; at < text.size(); at = pos + 2) {
            if ((pos = text.find("\r\n", at)) == std::string::npos)
                return out.push_back(text.substr(at) + "<no CRLF>"), out;
            out.push_back(text.substr(at, pos - at));
        }
        return out;
    }
};

inline Lines SplitFields(const std::string& line, char sep = ',') {
    Lines out(1);
    for (char c : line) c == sep ? (void)out.emplace_back() : out.back().push_back(c);
    return out;
}

// The disk, except that creating a file whose name starts with a key of `refuseCreate`
// fails (errno from the map), a file whose name starts with a key of `failAfterBytes`
// takes that many bytes, then refuses writes like a full disk, and `free` (when set) is
// the free space reported.
class FaultyFileSystem : public datalog::DiskFileSystem {
  public:
    std::map<std::string, int> refuseCreate;
    std::map<std::string, std::size_t> failAfterBytes;
    std::optional<std::uint64_t> free;
    std::function<void(const std::string& name)> onCreate;

    std::unique_ptr<datalog::LogWriter> createTemp(const std::filesystem::path& dir,
                                                   const std::string& prefix,
                                                   std::filesystem::path& made) override {
        if (onCreate) onCreate(prefix);
        for (const auto& [key, err] : refuseCreate)
            if (prefix.rfind(key, 0) == 0) return errno = err, nullptr;
        auto inner = datalog::DiskFileSystem::createTemp(dir, prefix, made);
        if (!inner) return nullptr;
        std::size_t limit = SIZE_MAX;
        for (const auto& [key, n] : failAfterBytes)
            if (prefix.rfind(key, 0) == 0) limit = n;
        return std::make_unique<Writer>(std::move(inner), limit);
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
