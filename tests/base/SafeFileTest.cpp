// The safe files on the real disk, the same cases on every platform: what the logging
// session and the listing rely on (exclusive temporaries, locks, no-replace moves, the
// errno values their messages are chosen by).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "LogTestSupport.h"
#include "base/SafeFile.h"

using namespace tavrin::base;

using namespace tavrin;
using test::Lines;

namespace {

struct SafeFileTest : ::testing::Test {
    test::ScratchDir dir;
    void plant(const std::string& name, const std::string& text) {
        std::ofstream(dir.path / name, std::ios::binary) << text;
    }
};

TEST_F(SafeFileTest, TemporariesAreNewFilesBesideTheTargetAndHeldWhileOpen) {
    std::filesystem::path a, b;
    const int fa = CreateTempBeside(dir.path, ".X.csv.rows.", a);
    const int fb = CreateTempBeside(dir.path, ".X.csv.rows.", b);
    ASSERT_GE(fa, 0);
    ASSERT_GE(fb, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.parent_path(), dir.path);
    EXPECT_EQ(a.filename().string().rfind(".X.csv.rows.", 0), 0u) << a;
    EXPECT_EQ(a.filename().string().size(), std::string(".X.csv.rows.").size() + 6);
    ASSERT_EQ(::write(fa, "abc", 3), 3);
    bool used = false;
    EXPECT_FALSE(WithUnheldFile(a, [&](std::uint64_t) { used = true; }));
    EXPECT_FALSE(used);
    ::close(fa);
    std::uint64_t size = 0;
    EXPECT_TRUE(WithUnheldFile(a, [&](std::uint64_t s) { size = s; }));
    EXPECT_EQ(size, 3u);
    // Renamed away while the recovery holds it open.
    EXPECT_TRUE(WithUnheldFile(
        a, [&](std::uint64_t) { EXPECT_TRUE(RenameNoReplace(a, dir.path / "kept.csv")); }));
    EXPECT_EQ(dir.read("kept.csv"), "abc");
    ::close(fb);
    EXPECT_FALSE(WithUnheldFile(dir.path / "none", [](std::uint64_t) {}));

    std::filesystem::path none;
    errno = 0;
    EXPECT_LT(CreateTempBeside(dir.path / "gone", ".X.", none), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(SafeFileTest, MovesReplaceOrRefuseAnExistingName) {
    plant("new", "new");
    plant("old", "old");
    plant("other", "other");
    errno = 0;
    EXPECT_FALSE(RenameNoReplace(dir.path / "new", dir.path / "old"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(dir.read("old"), "old");
    EXPECT_EQ(dir.read("new"), "new");
    EXPECT_TRUE(ReplaceFile(dir.path / "new", dir.path / "old"));
    EXPECT_EQ(dir.names(), (Lines{"old", "other"}));
    EXPECT_EQ(dir.read("old"), "new");
    EXPECT_TRUE(RenameNoReplace(dir.path / "other", dir.path / "free"));
    EXPECT_EQ(dir.names(), (Lines{"free", "old"}));
    errno = 0;
    EXPECT_FALSE(ReplaceFile(dir.path / "missing", dir.path / "old"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(SafeFileTest, ALockHasOneHolderAndItsFileGoesWithIt) {
    const auto name = dir.path / ".X.csv.lock";
    auto first = FileLock::tryAcquire(name);
    ASSERT_TRUE(first);
    errno = 0;
    EXPECT_FALSE(FileLock::tryAcquire(name));
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_TRUE(FileLock::tryAcquire(dir.path / ".Y.csv.lock")); // another stem's lock
    first.reset();
    EXPECT_TRUE(dir.names().empty()) << dir.files();
    auto again = FileLock::tryAcquire(name);
    EXPECT_TRUE(again);
    // Moved, the lock stays held once.
    FileLock moved = std::move(*again);
    again.reset();
    EXPECT_FALSE(FileLock::tryAcquire(name));
    errno = 0;
    EXPECT_FALSE(FileLock::tryAcquire(dir.path / "gone" / ".X.csv.lock"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(SafeFileTest, TheFilesDirectoryIsJudgedAndItsSpaceRead) {
    EXPECT_EQ(DirectoryProblem(dir.path), "");
    plant("file", "x");
    EXPECT_NE(DirectoryProblem(dir.path / "file").find("\" is not a directory."),
              std::string::npos);
    EXPECT_NE(DirectoryProblem(dir.path / "gone").find("\" does not exist and could not be"),
              std::string::npos);
    const auto free = FreeBytes(dir.path);
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(FreeBytes(dir.path / "gone"));
}

} // namespace
