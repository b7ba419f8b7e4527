#pragma once
// Real adapters through libusb-1.0. The attached adapters (vendor 0x5E21, any
// product) take the names "Ezusb-0" .. "Ezusb-3" by bus number, then port path. The
// USB device stays open with its interface claimed between handles, so a handle
// costs nothing; a device that went away is released and found again by the next
// open of its name.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "transport/EzUsbDriver.h"
#include "transport/libusb/UsbReplies.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace tavrin::transport::libusb {

// How long a command (bulk out, descriptor request) may take before it counts as failed.
inline constexpr unsigned kUsbCommandTimeoutMs = 1000;
// How long the adapter may take to answer on its reply pipe.
inline constexpr unsigned kUsbReplyTimeoutMs = 500;
// After a reply timed out, how long to listen for its late arrival before the next
// command, so it is not taken for that command's reply.
inline constexpr unsigned kUsbDrainTimeoutMs = 20;

struct LibUsbOptions {
    unsigned commandTimeoutMs = kUsbCommandTimeoutMs;
    unsigned replyTimeoutMs = kUsbReplyTimeoutMs;
    unsigned drainTimeoutMs = kUsbDrainTimeoutMs;
};

class LibUsbDriver final : public EzUsbDriver {
  public:
    explicit LibUsbDriver(LibUsbOptions options = {});
    ~LibUsbDriver() override;
    LibUsbDriver(const LibUsbDriver&) = delete;
    LibUsbDriver& operator=(const LibUsbDriver&) = delete;

    DriverHandle open(const std::string& deviceName) override;
    int ioctl(DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
              uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) override;
    void close(DriverHandle handle) override;
    std::string slotStatus(int slot) override;
    std::string backendName() const override { return "USB"; }

    // Handles given out and not closed yet.
    std::size_t openHandles() const { return handles_.size(); }

  private:
    struct Slot {
        libusb_device* device = nullptr;     // referenced while mapped
        libusb_device_handle* usb = nullptr; // open, interface claimed
        InterfaceInfo iface;
        uint16_t langId = 0; // 0 until asked for
        uint64_t generation = 0;
        uint8_t lateReplyEndpoint = 0; // a reply timed out here and may still come
        std::string status;
    };
    struct HandleRef {
        int slot;
        uint64_t generation;
    };

    void enumerate();
    bool openSlot(Slot& s);
    void releaseSlot(Slot& s);
    Slot* slotFor(DriverHandle handle);
    int failed(Slot& s, int error, uint8_t endpoint);
    int stringDescriptor(Slot& s, const uint8_t* in, std::size_t inLen, uint8_t* out,
                         std::size_t outLen, uint32_t& bytesReturned);
    void drainLateReply(Slot& s);
    int bulkTransfer(Slot& s, const uint8_t* in, std::size_t inLen, uint8_t* out,
                     std::size_t outLen, uint32_t& bytesReturned);

    LibUsbOptions options_;
    libusb_context* ctx_ = nullptr;
    std::string initError_;
    std::array<Slot, ezusb::kSlots> slots_{};
    std::unordered_map<DriverHandle, HandleRef> handles_;
    DriverHandle nextHandle_ = 1;
    uint64_t nextGeneration_ = 1;
};

std::unique_ptr<EzUsbDriver> MakeLibUsbDriver();

} // namespace tavrin::transport::libusb
