#pragma once
// Helpers of the logging tests: a scratch directory, file reading, and a file system
// that refuses a creation or fails writes partway through a file.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datalog/LogFiles.h"

namespace tavrin::test {

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string t = (std::filesystem::temp_directory_path() / "tavrin-log-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

// Lines ended by CR LF; text after the last CR LF would show up marked.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const auto pos = text.find("\r\n", at);
        if (pos == std::string::npos) {
            lines.push_back(text.substr(at) + "<no CRLF>");
            break;
        }
        lines.push_back(text.substr(at, pos - at));
        at = pos + 2;
    }
    return lines;
}

inline std::vector<std::string> SplitFields(const std::string& line, char sep) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == sep)
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

// The disk, except that creating a file named in `refuseCreate` fails and a file named
// in `failAfterBytes` takes that many bytes, then refuses writes like a full disk.
// Every write's size is logged per file name.
class FaultyFileSystem : public datalog::DiskFileSystem {
  public:
    std::set<std::string> refuseCreate;
    std::map<std::string, std::size_t> failAfterBytes;
    std::map<std::string, std::vector<std::size_t>> writes;

    std::unique_ptr<datalog::LogWriter> create(const std::filesystem::path& path) override {
        const std::string name = path.filename().string();
        if (refuseCreate.count(name)) return nullptr;
        auto inner = DiskFileSystem::create(path);
        if (!inner) return nullptr;
        const auto it = failAfterBytes.find(name);
        return std::make_unique<Writer>(std::move(inner), writes[name],
                                        it == failAfterBytes.end() ? SIZE_MAX : it->second);
    }

  private:
    struct Writer : datalog::LogWriter {
        Writer(std::unique_ptr<datalog::LogWriter> w, std::vector<std::size_t>& log, std::size_t n)
            : inner(std::move(w)), log(log), left(n) {}
        bool write(std::string_view d) override {
            log.push_back(d.size());
            const bool fits = d.size() <= left;
            inner->write(d.substr(0, std::min(left, d.size())));
            left -= std::min(left, d.size());
            return fits;
        }
        bool close() override { return inner->close(); }
        std::unique_ptr<datalog::LogWriter> inner;
        std::vector<std::size_t>& log;
        std::size_t left;
    };
};

} // namespace tavrin::test
