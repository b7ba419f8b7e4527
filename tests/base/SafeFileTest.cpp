// The safe files on the real disk, the same cases on every platform: what the logging
// session and the listing rely on (exclusive temporaries, locks, no-replace moves, the
// errno values their messages are chosen by).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "LogTestSupport.h"
#include "base/SafeFile.h"

namespace tavrin::base {
namespace {

TEST(SafeFile, TemporariesAreNewFilesBesideTheTargetAndHeldWhileOpen) {
    test::ScratchDir dir;
    std::filesystem::path a;
    const int fa = CreateTempBeside(dir.path, ".X.csv.rows.", a);
    ASSERT_GE(fa, 0);
    EXPECT_EQ(a.parent_path(), dir.path);
    EXPECT_EQ(a.filename().string().rfind(".X.csv.rows.", 0), 0u) << a;
    ASSERT_EQ(::write(fa, "abc", 3), 3);
    EXPECT_FALSE(WithUnheldFile(a, [](std::uint64_t) { ADD_FAILURE() << "used while held"; }));
    ::close(fa);
    // Renamed away while the recovery holds it open.
    EXPECT_TRUE(WithUnheldFile(a, [&](std::uint64_t size) {
        EXPECT_EQ(size, 3u);
        EXPECT_TRUE(RenameNoReplace(a, dir.path / "kept.csv"));
    }));
    EXPECT_EQ(dir.read("kept.csv"), "abc");
    errno = 0;
    EXPECT_LT(CreateTempBeside(dir.path / "gone", ".X.", a), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST(SafeFile, MovesReplaceOrRefuseAnExistingName) {
    test::ScratchDir dir;
    for (const char* name : {"new", "old", "other"}) std::ofstream(dir.path / name) << name;
    errno = 0;
    EXPECT_FALSE(RenameNoReplace(dir.path / "new", dir.path / "old"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(dir.read("old"), "old");
    EXPECT_TRUE(ReplaceFile(dir.path / "new", dir.path / "old"));
    EXPECT_TRUE(RenameNoReplace(dir.path / "other", dir.path / "free"));
    EXPECT_EQ(dir.names(), (test::Lines{"free", "old"}));
    EXPECT_EQ(dir.read("old"), "new");
    errno = 0;
    EXPECT_FALSE(ReplaceFile(dir.path / "missing", dir.path / "old"));
    EXPECT_EQ(errno, ENOENT);
}

TEST(SafeFile, TheFilesDirectoryIsJudgedAndItsSpaceRead) {
    test::ScratchDir dir;
    EXPECT_EQ(DirectoryProblem(dir.path), "");
    std::ofstream(dir.path / "file") << "x";
    EXPECT_NE(DirectoryProblem(dir.path / "file").find("\" is not a directory."),
              std::string::npos);
    EXPECT_GT(FreeBytes(dir.path).value_or(0), 0u);
}

} // namespace
} // namespace tavrin::base
