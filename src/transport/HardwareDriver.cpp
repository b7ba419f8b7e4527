#include "transport/HardwareDriver.h"

#ifdef _WIN32
#include "transport/win32/Win32Driver.h"
#else
#include "transport/libusb/LibUsbDriver.h"
#endif

namespace tavrin {

std::unique_ptr<EzUsbDriver> MakeHardwareDriver() {
#ifdef _WIN32
    return MakeWin32Driver();
#else
    return MakeLibUsbDriver();
#endif
}

} // namespace tavrin
