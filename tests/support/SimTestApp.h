#pragma once
// A TestApp wired to one deterministic simulated adapter on "Ezusb-0", already found
// and ready: UsbFindBuffers has run (an adapter ready, no message), InterfaceKind is 2,
// ProductNumber is the model and the model's register table is loaded. Scale factors
// are the table's own (model selection is not run); the command log starts empty.
//
//   test::SimTestApp s;            // model 41120
//   ReadRegister(s.app.registers(), 2);  // reads XGYRO_OUT from s.sensor
//   s.sensor.hold(0x04, 0x8005);   // pin an output word
//   EXPECT_EQ(s.driver.openHandles(), 0);
#include "TestApp.h"
#include "sim/SimDriver.h"

namespace tavrin::test {

struct SimTestApp {
    explicit SimTestApp(float model = 41120, sim::SimOptions options = {});

    sim::SimDriver driver;
    TestApp t;
    app::App& app;
    sim::SimSensor& sensor;
};

// White noise large enough to move every output between samples even at long sample
// periods (a unit of output per root second).
inline sim::SimOptions Noisy() {
    sim::SimOptions o;
    o.noise.gyro.randomWalk = 1;
    o.noise.accl.randomWalk = 0.05;
    return o;
}

} // namespace tavrin::test
