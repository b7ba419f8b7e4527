#pragma once
// The main window's load step, which finishes start-up: the adapter, the model, a first
// reading, and the read loop started.
#include <string>

namespace tavrin::app {
struct App;

// What the load step changes on the main window.
class LoadDisplay {
  public:
    virtual ~LoadDisplay() = default;
    // The chart colours: red, green and blue for the x, y and z traces.
    virtual void setPlotColors() = 0;
    // The oldest operating-system family has no USB: the Usb menu item goes.
    virtual void hideUsbMenu() = 0;
    virtual void checkUsbMenu() = 0;
    // No adapter was usable: the adapter selection window, modally.
    virtual void chooseAdapter() = 0;
    virtual void showLoadedCaption() = 0;
    // The six traces shown and checked, the current-value readouts "0", the loop delay "5".
    virtual void resetReadouts() = 0;
    // Model selection, as the Device menu applies it.
    virtual void setDevice(float ProdNum) = 0;
    virtual void updateStatusFlags() = 0;
    // One reading of every output; returns the temperature readout as shown.
    virtual std::string readData() = 0;
    // Checks Loop, which runs the read loop until it is unchecked.
    virtual void startLoop() = 0;
};

// The load sequence, step by step, with its messages through App's Messages.
void RunLoadSequence(App& app, LoadDisplay& display);

} // namespace tavrin::app
