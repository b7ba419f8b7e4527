// Ctrl-C during a logging session: the handler only raises the flag the
// session's stop check reads, and the program goes on to complete its file.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "cli/CliSeams.h"
#include "cli/ShellOs.h"
#ifdef _WIN32
#include <windows.h>
#endif

using namespace tavrin::cli;

TEST(Interrupt, CtrlCRaisesTheFlagAndTheProgramGoesOn) {
    g_interrupted = 0;
    CatchInterrupt();
#ifdef _WIN32
    // The console's Ctrl-C, sent to this process group; a console of its own when
    // the test runs without one.
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        ::FreeConsole();
        ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
        ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    }
#else
    ASSERT_EQ(std::raise(SIGINT), 0);
#endif
    for (int i = 0; i < 2000 && !g_interrupted; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(g_interrupted);
}

TEST(ShellOs, TheProgramKnowsItsOwnFile) {
    const auto exe = ProgramFile();
    EXPECT_EQ(exe.stem().string(), "cli_interrupt_test");
    EXPECT_EQ(DocumentsDir().filename().string(), "Documents");
}
