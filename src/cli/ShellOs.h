#pragma once
// What the shell's seams do each operating system's own way.
#include <filesystem>

namespace tavrin::cli {

// The signals a bench script or a session's end sends (SIGINT, SIGTERM, SIGHUP; on Windows
// Ctrl+C, Ctrl+Break, closing the console, logoff, shutdown) act as the logging window's
// Cancel from here on: they set g_interrupted to the signal's number instead of ending the
// program, so the file under way is completed. On Windows a close, logoff or shutdown keeps
// the process until it ends by itself (the system allows a few seconds).
void CatchSignals();

// While alive, those signals wait: a file being written is finished first, then a signal
// that came meanwhile ends the program as it would have.
class HeldSignals {
  public:
    HeldSignals();
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    bool held_ = false;
};

// Stops the process where it stands until it is continued (a test holds it there); nothing
// where the system cannot.
void HoldHere();

// The running program's own file; empty when the system does not say.
std::filesystem::path ProgramFile();

// The user's documents folder (the XDG user directory on Linux); empty when the user has
// no home.
std::filesystem::path DocumentsDir();

} // namespace tavrin::cli
