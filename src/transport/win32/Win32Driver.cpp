#include "transport/win32/Win32Driver.h"

#include <limits>

namespace tavrin::transport::win32 {

namespace {

constexpr const char* kNamePrefix = "Ezusb-";

// Only the adapters' names: "\\.\" and any other text could open a disk or a port.
bool IsAdapterName(const std::string& name) {
    const std::string prefix = kNamePrefix;
    return name.size() == prefix.size() + 1 && name.compare(0, prefix.size(), prefix) == 0 &&
           name.back() >= '0' && name.back() < '0' + ezusb::kSlots;
}

bool KnownRequest(uint32_t code) {
    return code == ezusb::kGetDeviceDescriptor || code == ezusb::kGetStringDescriptor ||
           code == ezusb::kGetPipeInfo || code == ezusb::kBulkTransfer;
}

constexpr std::size_t kMaxBuffer = std::numeric_limits<uint32_t>::max();

} // namespace

Win32Driver::~Win32Driver() {
    for (const auto& [id, h] : handles_) calls_.closeHandle(h);
}

DriverHandle Win32Driver::open(const std::string& deviceName) {
    if (!IsAdapterName(deviceName)) return -1;
    const std::string path = "\\\\.\\" + deviceName;
    const Win32Calls::Handle h =
        calls_.createFileA(path.c_str(), kGenericWrite, kFileShareWrite, kOpenExisting, 0);
    if (h == Win32Calls::kInvalidHandle || h == 0) return -1;
    const DriverHandle id = nextHandle_++;
    handles_[id] = h;
    return id;
}

int Win32Driver::ioctl(DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
                       uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) {
    bytesReturned = 0;
    const auto it = handles_.find(handle);
    if (it == handles_.end() || !KnownRequest(code)) return 0;
    if ((in == nullptr && inLen != 0) || (out == nullptr && outLen != 0)) return 0;
    if (inLen > kMaxBuffer || outLen > kMaxBuffer) return 0;
    // The driver reads the pipe number from 4 bytes; fewer would have it read past them.
    if (code == ezusb::kBulkTransfer && inLen < 4) return 0;
    uint32_t got = 0;
    // The call's input is not const but is only read.
    const int r = calls_.deviceIoControl(it->second, code, const_cast<uint8_t*>(in),
                                         static_cast<uint32_t>(inLen), out,
                                         static_cast<uint32_t>(outLen), &got);
    // A count beyond the buffer would send the caller reading past it.
    bytesReturned = got > outLen ? static_cast<uint32_t>(outLen) : got;
    return r != 0 ? 1 : 0;
}

void Win32Driver::close(DriverHandle handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return;
    calls_.closeHandle(it->second);
    handles_.erase(it);
}

} // namespace tavrin::transport::win32
