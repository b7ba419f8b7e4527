// Ctrl-C during a logging session: the handler only raises the flag the session's stop
// check reads, and the program goes on to complete its file.
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

namespace {

bool RaisedWithin(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!g_interrupted && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return g_interrupted != 0;
}

TEST(Interrupt, CtrlCRaisesTheFlagAndTheProgramGoesOn) {
    g_interrupted = 0;
    CatchInterrupt();
#ifdef _WIN32
    // The console's Ctrl-C, sent to this process group; a console of its own when the
    // test runs without one.
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        ::FreeConsole();
        ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
        ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    }
#else
    ASSERT_EQ(std::raise(SIGINT), 0);
#endif
    EXPECT_TRUE(RaisedWithin(std::chrono::seconds(10)));
}

TEST(ShellOs, TheProgramKnowsItsOwnFile) {
    const auto exe = ProgramFile();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(exe)) << exe;
    EXPECT_EQ(exe.stem().string(), "cli_interrupt_test");
    EXPECT_EQ(DocumentsDir().filename().string(), "Documents");
}

} // namespace
