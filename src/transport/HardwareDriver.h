#pragma once
// The backend for real adapters on this platform: the adapter's kernel driver on
// Windows, libusb elsewhere.
#include <memory>

#include "transport/EzUsbDriver.h"

namespace tavrin {

std::unique_ptr<EzUsbDriver> MakeHardwareDriver();

} // namespace tavrin
