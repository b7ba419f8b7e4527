#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, a kill, Ctrl+C) handed to the event loop: the
// handler only writes the signal's number to a pipe, and `onSignal` runs from the loop,
// where it may finish files.
#include <functional>

namespace tavrin::ui {

// Installs the handlers once; later calls replace `onSignal`. False when the pipe or the
// handlers could not be set up.
bool InstallSignalCancel(std::function<void(int signo)> onSignal);

} // namespace tavrin::ui
