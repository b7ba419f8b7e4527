// The safe files on the real disk, the same cases on every platform: what the logging
// session and the listing rely on (exclusive temporaries, locks, no-replace moves, the
// errno values their messages are chosen by).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>

#include <thread>
#endif

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
    const auto unused = [](std::uint64_t, std::string_view) { ADD_FAILURE() << "used"; };
    EXPECT_EQ(WithUnheldFile(a, unused), Unheld::Held);
    ::close(fa);
    // Renamed away while the recovery holds it open.
    EXPECT_EQ(WithUnheldFile(a,
                             [&](std::uint64_t size, std::string_view head) {
                                 EXPECT_EQ(size, 3u);
                                 EXPECT_EQ(head, "abc");
                                 EXPECT_TRUE(RenameNoReplace(a, dir.path / "kept.csv"));
                             }),
              Unheld::Used);
#ifndef _WIN32
    // What a session never makes is never opened for reading: a FIFO would block.
    ASSERT_EQ(::mkfifo((dir.path / ".F_1.csv.rows.AbCdEf").c_str(), 0600), 0);
    std::filesystem::create_symlink("kept.csv", dir.path / "link");
    for (const char* name : {".F_1.csv.rows.AbCdEf", "link", "."})
        EXPECT_EQ(WithUnheldFile(dir.path / name, unused), Unheld::NotAFile) << name;
#endif
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

// Every output file: never through a link, never over its own input, never a special
// file replaced; each refusal leaves everything as it was and says why.
TEST(SafeFile, OutputsReplaceTheirTargetOnlyAndNeverTheirInput) {
    test::ScratchDir dir;
    const auto in = dir.path / "in.csv";
    std::ofstream(in) << "log";
    std::string error;
    EXPECT_FALSE(WriteOutputFile(in, "curve", error, {in}));
    EXPECT_NE(error.find("is the input file"), std::string::npos) << error;
    EXPECT_FALSE(WriteOutputFile(dir.path, "curve", error));
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
    EXPECT_TRUE(WriteOutputFile(dir.path / "out.csv", "curve", error, {in}));
    EXPECT_EQ(dir.read("out.csv"), "curve");
    EXPECT_EQ(dir.read("in.csv"), "log");
#ifndef _WIN32
    std::filesystem::create_symlink("in.csv", dir.path / "link.csv");
    EXPECT_FALSE(WriteOutputFile(dir.path / "link.csv", "curve", error, {in}));
    std::filesystem::create_symlink("victim", dir.path / "planted.csv");
    std::ofstream(dir.path / "victim") << "victim";
    EXPECT_TRUE(WriteOutputFile(dir.path / "planted.csv", "curve", error));
    EXPECT_EQ(dir.read("victim"), "victim");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.path / "planted.csv"));
    EXPECT_EQ(dir.read("in.csv"), "log");
    // A FIFO with a reader gets the bytes and stays a FIFO; /dev/full says the disk is full.
    const auto fifo = dir.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = dir.read("fifo"); });
    EXPECT_TRUE(WriteOutputFile(fifo, "streamed", error)) << error;
    reader.join();
    EXPECT_EQ(got, "streamed");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_FALSE(WriteOutputFile("/dev/full", "x", error));
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
    struct stat st {};
    EXPECT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
#endif
}

} // namespace
} // namespace tavrin::base
