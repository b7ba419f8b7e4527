#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "base/SafeFile.h"

namespace tavrin::base {

std::string FileErrorCause(int err) {
    if (err == ENOSPC || err == EFBIG
#ifdef EDQUOT
        || err == EDQUOT
#endif
    )
        return "the disk is full";
    if (err == EACCES || err == EPERM || err == EROFS) return "the directory is not writable";
    return std::strerror(err);
}

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

bool WriteStandardOutput(std::string_view text, std::string& error) {
    errno = 0;
    const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                    std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (!ok)
        error = StandardOutputWasClosed() ? "The standard output is closed."
                                          : "The standard output could not be written: " +
                                                FileErrorCause(errno ? errno : EIO) + ".";
    return ok;
}

} // namespace

bool WriteOutputFile(const std::filesystem::path& target, std::string_view text, std::string& error,
                     const std::vector<std::filesystem::path>& inputs) {
    if (target == "-") return WriteStandardOutput(text, error);
    const std::string name = QuotedInput(target.string());
    for (const auto& input : inputs) {
        if (SameFile(target, input)) {
            error = "The output " + name + " is the input file " + QuotedInput(input.string()) +
                    ": nothing was written.";
            return false;
        }
    }
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(target, ec).type();
    using std::filesystem::file_type;
    if (type == file_type::directory) {
        error = "The output " + name + " is a directory: nothing was written.";
        return false;
    }
    if (type == file_type::fifo || type == file_type::character || type == file_type::block ||
        type == file_type::socket) {
        const int written = WriteIntoSpecialFile(target, text);
        if (written == 1) return true;
        if (written == 0) {
            error = "The output " + name + " could not be written: " + FileErrorCause(errno) + ".";
            return false;
        }
        // It was swapped for an ordinary file meanwhile: that one is replaced safely.
    }
    return SaveFileSafely(target, text, error);
}

} // namespace tavrin::base
