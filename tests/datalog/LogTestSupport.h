#pragma once
// Helpers shared by the logging tests: a scratch directory, whole-file reads, and a
// file system that refuses a creation or fails a write partway through a file.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "datalog/LogFiles.h"

namespace tavrin::test {

// A fresh directory removed again at the end of the test.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::filesystem::path path;
    // Names of the files in the directory, sorted.
    std::vector<std::string> names() const;
};

std::string ReadWholeFile(const std::filesystem::path& p);
// The file split at CR LF; a final CR LF ends the last line rather than starting one.
std::vector<std::string> CrLfLines(const std::string& text);
std::vector<std::string> SplitFields(const std::string& line, char sep);

// The disk, except: creating a file whose name is in `refuseCreate` fails, and a file
// whose name is in `failAfterBytes` accepts only that many bytes before writes fail.
class FaultyFileSystem : public datalog::LogFileSystem {
  public:
    std::set<std::string> refuseCreate;
    std::map<std::string, std::size_t> failAfterBytes;
    std::vector<std::string> created; // file names in order of creation

    std::unique_ptr<datalog::LogWriter> create(const std::filesystem::path& path) override;
    std::unique_ptr<datalog::LogReader> openRead(const std::filesystem::path& path) override {
        return disk_.openRead(path);
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        return disk_.rename(from, to);
    }
    void remove(const std::filesystem::path& path) override { disk_.remove(path); }

  private:
    datalog::DiskFileSystem disk_;
};

} // namespace tavrin::test
