#include "cli/Interrupt.h"

#include <windows.h>

#include "cli/CliSeams.h"

namespace tavrin::cli {

namespace {

// Runs on a thread of its own that the console starts; TRUE keeps the process alive.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = 1;
    return TRUE;
}

} // namespace

void CatchInterrupt() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

} // namespace tavrin::cli
