#pragma once
// The program's start-up, before the main window opens.
#include <string>

namespace tavrin::app {
struct App;

// The start-up message window.
class StartupDisplay {
  public:
    virtual ~StartupDisplay() = default;
    // Shows the window with `text` and lets it paint before the long wait that follows.
    virtual void showMessage(const std::string& text) = 0;
    // Blanks the text and hides the window.
    virtual void hideMessage() = 0;
};

// Shows the message window, calibrates the busy-wait, sets the transport defaults
// and hides the message window again. The caller then shows the main window.
void RunStartup(App& app, StartupDisplay& display);

} // namespace tavrin::app
