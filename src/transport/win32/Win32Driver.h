#pragma once
// Real adapters on Windows, through the adapter's own kernel driver: "Ezusb-0" ..
// "Ezusb-3" are the files \\.\Ezusb-0 .. \\.\Ezusb-3, each request one device I/O
// control call. The system calls come in through Win32Calls.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "transport/EzUsbDriver.h"
#include "transport/win32/Win32Calls.h"

namespace tavrin::transport::win32 {

inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kFileShareWrite = 2;
inline constexpr uint32_t kOpenExisting = 3;

class Win32Driver final : public EzUsbDriver {
  public:
    explicit Win32Driver(Win32Calls& calls) : calls_(calls) {}
    ~Win32Driver() override;
    Win32Driver(const Win32Driver&) = delete;
    Win32Driver& operator=(const Win32Driver&) = delete;

    DriverHandle open(const std::string& deviceName) override;
    int ioctl(DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
              uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) override;
    void close(DriverHandle handle) override;
    std::string backendName() const override { return "USB"; }

    std::size_t openHandles() const { return handles_.size(); }

  private:
    Win32Calls& calls_;
    // Our handles stand for the system's: always > 0, and a closed one is never passed
    // on, even after the system has given its value to another file.
    std::map<DriverHandle, Win32Calls::Handle> handles_;
    DriverHandle nextHandle_ = 1;
};

// The driver on the system's own calls (Windows builds only).
std::unique_ptr<EzUsbDriver> MakeWin32Driver();

} // namespace tavrin::transport::win32
