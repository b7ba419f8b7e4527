#include "SimTestApp.h"

#include "registers/RegisterMap.h"
#include "transport/UsbSpi.h"

namespace tavrin::test {

namespace {
sim::SimOptions WithModel(sim::SimOptions o, float model) {
    o.model = model;
    return o;
}
} // namespace

SimTestApp::SimTestApp(float model, sim::SimOptions options)
    : t(&driver), app(t.app), sensor(driver.addAdapter(0, WithModel(options, model))) {
    app.model.InterfaceKind = InterfaceUsb;
    app.model.ProductNumber = model;
    UsbFindBuffers(app);
    LoadRegisterTable(app.regs, model);
    driver.clearCommands();
}

} // namespace tavrin::test
