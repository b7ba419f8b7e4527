#pragma once
// Files that are never lost halfway: a new file is written under a unique temporary
// name beside its target (created exclusively, so a planted name or symlink is never
// written through), flushed to disk, and put in place by an atomic rename. Qt-free;
// used by the logging session and the register listing.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::base {

// Creates "<dir>/<prefix>XXXXXX" exclusively (never through a symlink) with a unique
// ending, holding an exclusive advisory lock on it for as long as the descriptor is open.
// Returns the descriptor, or -1 with errno set.
int CreateTempBeside(const std::filesystem::path& dir, const std::string& prefix,
                     std::filesystem::path& made);

// Flushes a directory's entries (a rename is durable only after this).
bool SyncDirectory(const std::filesystem::path& dir);

// Renames `from` over `to` (replacing a file or a symlink, never writing through it), then
// flushes the directory. False with errno set.
bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` to `to` only when nothing has that name. False with errno set (EEXIST).
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Bytes an unprivileged writer can still put in the directory's file system.
std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& dir);

// The longest file name the directory's file system takes (255 when it does not say).
std::size_t NameMax(const std::filesystem::path& dir);

// Writes `text` as `file` the safe way. The earlier file stays until the new one is
// whole. On failure `error` names the file and the cause, and nothing has changed.
bool SaveFileSafely(const std::filesystem::path& file, std::string_view text, std::string& error);

// Writes `text` as an output file: "-" is standard output; an existing FIFO, device or
// socket is written into directly, as a shell's ">" would, never replaced; anything else the
// safe way (SaveFileSafely). An output that is the same file as one of `inputs` is refused
// before anything is written. False with `error` set to one line naming the file and cause.
bool WriteOutputFile(const std::filesystem::path& target, std::string_view text, std::string& error,
                     const std::vector<std::filesystem::path>& inputs = {});

// Why a file operation failed, as a message says it ("the disk is full", ...).
std::string FileErrorCause(int err);

// What WithUnheldFile found at a name.
enum class Unheld {
    Used,      // a regular file no writer holds: `use` ran
    Held,      // a live writer holds it
    NotAFile,  // a link, directory, FIFO, device or socket: never opened for reading
    Unreadable // gone, or it could not be opened or read
};
// Runs `use` with the file's size and its first bytes (at most 4 kB) while holding the lock
// its writer holds while alive (see CreateTempBeside). Only a regular file is opened, without
// following a link and without blocking; it may be renamed or removed from within `use`.
Unheld WithUnheldFile(const std::filesystem::path& file,
                      const std::function<void(std::uint64_t size, std::string_view head)>& use);

// An exclusive advisory lock held through a lock file; released on destruction.
class FileLock {
  public:
    FileLock() = default;
    FileLock(FileLock&& o) noexcept : fd_(o.fd_), path_(std::move(o.path_)) { o.fd_ = -1; }
    FileLock& operator=(FileLock&& o) noexcept {
        if (this != &o) {
            release();
            fd_ = o.fd_;
            path_ = std::move(o.path_);
            o.fd_ = -1;
        }
        return *this;
    }
    ~FileLock() { release(); }
    // Empty when another holder has it (errno EWOULDBLOCK) or the file cannot be made.
    static std::optional<FileLock> tryAcquire(const std::filesystem::path& lockFile);

  private:
    void release(); // per platform
    int fd_ = -1;
    std::filesystem::path path_;
};

// Why the files directory cannot be used (it is missing, not a directory or not
// writable), naming it; empty when it is usable.
std::string DirectoryProblem(const std::filesystem::path& dir);

} // namespace tavrin::base
