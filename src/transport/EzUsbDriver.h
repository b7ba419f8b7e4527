#pragma once
// The adapter's kernel-driver seam: open a device name, send a request code with an
// input and an output buffer, close. Every backend (simulator, libusb) answers the
// same request codes, buffer sizes and field offsets, so the code above is shared.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavrin::transport {

using DriverHandle = std::intptr_t;

namespace ezusb {
inline constexpr uint32_t kGetDeviceDescriptor = 0x222004;
inline constexpr uint32_t kGetStringDescriptor = 0x222044;
inline constexpr uint32_t kGetPipeInfo = 0x222000;
inline constexpr uint32_t kBulkTransfer = 0x222051;

inline constexpr std::size_t kDeviceDescriptorSize = 147;
inline constexpr std::size_t kPipeInfoSize = 356;
inline constexpr std::size_t kPipeInfoHeader = 16;
inline constexpr std::size_t kPipeEntrySize = 20;
inline constexpr int kMaxPipes = 17;
inline constexpr int kSlots = 4;

inline constexpr uint16_t kVendor = 0x5E21;
inline constexpr uint16_t kProductVorla = 0xB403;
inline constexpr uint16_t kProductQeb = 0xB600;
} // namespace ezusb

class EzUsbDriver {
  public:
    virtual ~EzUsbDriver() = default;

    // Opens "Ezusb-0" .. "Ezusb-3". A result > 0 is a handle; <= 0 is a failed open.
    virtual DriverHandle open(const std::string& deviceName) = 0;

    // Sends one request. `in`/`inLen` is the input buffer; `out`/`outLen` the output
    // buffer, which for a bulk transfer on pipe 0 carries the bytes sent to the adapter
    // and on pipe 1 receives the reply. Returns 1 on success, 0 on failure; the byte
    // count of the output is written to `bytesReturned` in both cases.
    virtual int ioctl(DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
                      uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) = 0;

    virtual void close(DriverHandle handle) = 0;

    // A short reason why an attached adapter in this slot cannot be used (for example
    // "no permission"), shown in the adapter selection window; empty when none.
    virtual std::string slotStatus(int /*slot*/) { return {}; }

    // Which backend this is, for the status bar ("simulated", "USB").
    virtual std::string backendName() const = 0;

    // Seconds on the clock of the adapter in this slot where it keeps one of its own apart
    // from the machine's (a deterministic simulator's virtual clock); nothing otherwise.
    virtual std::optional<double> clockSeconds(int /*slot*/) const { return std::nullopt; }
};

// The backend for real adapters on this platform. The backend library the program links
// defines it: libusb, or the adapter's kernel driver on Windows.
std::unique_ptr<EzUsbDriver> MakeHardwareDriver();

} // namespace tavrin::transport
