#include "LogTestSupport.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavrin::test {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-log-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
}

std::vector<std::string> ScratchDir::names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string ReadWholeFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto pos = text.find("\r\n", start);
        if (pos == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CRLF>");
            break;
        }
        lines.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    return lines;
}

std::vector<std::string> SplitFields(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto pos = line.find(sep, start);
        out.push_back(line.substr(start, pos == std::string::npos ? pos : pos - start));
        if (pos == std::string::npos) return out;
        start = pos + 1;
    }
}

namespace {

class LimitedWriter : public datalog::LogWriter {
  public:
    LimitedWriter(std::unique_ptr<datalog::LogWriter> inner, std::size_t limit)
        : inner_(std::move(inner)), left_(limit) {}
    bool write(std::string_view data) override {
        if (data.size() > left_) {
            // Like a full disk: what fits lands, the rest is refused.
            inner_->write(data.substr(0, left_));
            left_ = 0;
            return false;
        }
        left_ -= data.size();
        return inner_->write(data);
    }
    bool close() override { return inner_->close(); }

  private:
    std::unique_ptr<datalog::LogWriter> inner_;
    std::size_t left_;
};

} // namespace

std::unique_ptr<datalog::LogWriter> FaultyFileSystem::create(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    created.push_back(name);
    if (refuseCreate.count(name)) return nullptr;
    auto w = disk_.create(path);
    if (!w) return nullptr;
    if (auto it = failAfterBytes.find(name); it != failAfterBytes.end())
        return std::make_unique<LimitedWriter>(std::move(w), it->second);
    return w;
}

} // namespace tavrin::test
