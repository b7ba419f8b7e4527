// The per-OS pieces of the shell seams: the signals that act as Cancel, the user's folders.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "LogTestSupport.h"
#include "cli/CliSeams.h"
#include "cli/ShellOs.h"
#ifdef _WIN32
#include <windows.h>
#endif

using namespace tavrin::cli;

// Each signal raises the flag with its own number, and the program goes on.
TEST(Signals, EachRaisesTheFlagWithItsNumberAndTheProgramGoesOn) {
    CatchSignals();
#ifdef _WIN32
    g_interrupted = 0;
    // The console's Ctrl-C, sent to this process group; a console of its own when
    // the test runs without one.
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        ::FreeConsole();
        ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
        ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    }
    for (int i = 0; i < 2000 && !g_interrupted; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(g_interrupted, 2);
#else
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        g_interrupted = 0;
        ASSERT_EQ(std::raise(s), 0);
        EXPECT_EQ(g_interrupted, s);
    }
    // Held while a file is written: delivered only afterwards.
    g_interrupted = 0;
    {
        HeldSignals held;
        ASSERT_EQ(std::raise(SIGTERM), 0);
        EXPECT_EQ(g_interrupted, 0);
    }
    EXPECT_EQ(g_interrupted, SIGTERM);
#endif
}

TEST(ShellOs, TheProgramKnowsItsOwnFileAndTheUsersDocuments) {
    EXPECT_EQ(ProgramFile().stem().string(), "cli_interrupt_test");
#ifndef _WIN32
    tavrin::test::ScratchDir home;
    ::setenv("HOME", home.path.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DocumentsDir(), home.path / "Documents");
    std::filesystem::create_directory(home.path / ".config");
    std::ofstream(home.path / ".config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(DocumentsDir(), home.path / "Dokumente");
    // Without HOME, the account's home: never a folder such as /tmp that anyone can make.
    ::unsetenv("HOME");
    EXPECT_NE(DocumentsDir().string().rfind("/tmp", 0), 0u) << DocumentsDir();
#else
    EXPECT_EQ(DocumentsDir().filename().string(), "Documents");
#endif
}
