#include "TestApp.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace tavrin::test {

float FakePlatform::secondsSinceMidnight() {
    if (clockScript.empty()) return clockNow;
    clockNow = clockScript.front();
    clockScript.pop_front();
    return clockNow;
}

std::vector<std::string> RecordingMessages::texts() const {
    std::vector<std::string> out;
    for (const auto& m : shown) out.push_back(m.text);
    return out;
}

TestApp::TestApp(EzUsbDriver* driver) : app(platform, messages, driver) {
    app.timing.DelayCalibrated = true;
    app.timing.DelayCount10us = 1;
    app.timing.spin = [this](int32_t) { ++delaySteps; };
}

} // namespace tavrin::test
