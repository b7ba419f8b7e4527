#pragma once
namespace tavrin {
struct App;
class frmMsg;

// Shows the message window, calibrates the busy-wait, sets the transport defaults
// and hides the message window again. The caller then shows the main window.
void RunStartup(App& app, frmMsg& msg);

} // namespace tavrin
