#pragma once
// Ctrl-C as the logging window's Cancel: from here on it sets g_interrupted instead of
// ending the program, so the file under way is completed.
namespace tavrin::cli {

void CatchInterrupt();

} // namespace tavrin::cli
