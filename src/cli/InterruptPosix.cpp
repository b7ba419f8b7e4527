#include "cli/Interrupt.h"

#include <csignal>

#include "cli/CliSeams.h"

namespace tavrin::cli {

namespace {

void OnInterrupt(int) {
    g_interrupted = 1;
}

} // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace tavrin::cli
