#include "SimTestApp.h"

#include "registers/RegisterMap.h"
#include "transport/UsbSpi.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace tavrin::test {

namespace {
sim::SimOptions WithModel(sim::SimOptions o, float model) {
    o.model = model;
    return o;
}
} // namespace

SimTestApp::SimTestApp(float model, sim::SimOptions options)
    : t(&driver), app(t.app), sensor(driver.addAdapter(0, WithModel(options, model))) {
    app.usb.InterfaceKind = InterfaceUsb;
    app.model.ProductNumber = model;
    UsbFindBuffers(app.link());
    LoadRegisterTable(app.regs, model);
    driver.clearCommands();
}

} // namespace tavrin::test
