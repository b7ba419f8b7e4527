#pragma once
// Simulated USB-to-SPI adapters, each with a simulated sensor behind it, answering
// the driver requests exactly as the kernel driver does. Used by the tests, the
// benchmarks and the program itself when no hardware is at hand.
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimSensor.h"
#include "transport/EzUsbDriver.h"

namespace tavrin::sim {

struct SimOptions {
    float model = 41120; // reported in PROD_ID
    uint16_t vendorId = transport::ezusb::kVendor;
    uint16_t productId = transport::ezusb::kProductVorla; // any value may be given
    bool highSpeed = true;                                // max packet 512, else 64
    bool deterministic = true;                            // virtual clock, exact words
    // With the virtual clock: each bulk transfer takes the time a host needs for it
    // (the next 125 us microframe at high speed, 1 ms frame at full speed, then its
    // bytes at 480 or 12 Mbit/s). Off: a fixed 250 us per SPI transfer command.
    bool usbTime = true;
    // With the machine's clock: each bulk transfer waits for the next (micro)frame on that
    // clock, as a host controller makes it, instead of returning at once.
    bool realUsbTime = false;
    uint64_t seed = 1;
    uint8_t firmwareMajor = 2, firmwareMinor = 1;
    NoiseModel noise{}; // of the gyroscopes and accelerometers
};

class SimDriver : public transport::EzUsbDriver {
  public:
    SimDriver();
    ~SimDriver() override;

    // Attaches an adapter and its sensor to "Ezusb-<slot>" (0..3), replacing any there.
    SimSensor& addAdapter(int slot, SimOptions options = {});
    SimSensor& sensor(int slot);
    bool hasAdapter(int slot) const;
    // The device vanishes: opens fail and requests on its open handles fail, until replug.
    void unplug(int slot);
    void replug(int slot);

    // Fault injection. Calls are counted from the moment a fault is armed; 1 = next call.
    void failRequest(uint32_t code, int nthCall = 1);
    // The nth bulk transfer on `pipe` fails; with `slot`, the nth of that adapter only.
    void failBulk(int pipe, int nthCall = 1, int slot = -1);
    // The nth reply on pipe 1 succeeds but carries only `bytes` bytes.
    void shortReply(int nthCall, uint32_t bytes);
    // String descriptor `index` of this adapter always fails (until cleared by addAdapter).
    void failStringDescriptor(int slot, int index);
    // Raw bytes the adapter returns for string descriptor `index` (byte 0 may lie).
    void setStringDescriptor(int slot, int index, std::vector<uint8_t> raw);

    int openHandles() const { return static_cast<int>(handles_.size()); }
    long totalOpens() const { return totalOpens_; }
    // Command bytes sent on pipe 0, oldest first (the last 1024 are kept).
    const std::deque<std::vector<uint8_t>>& commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }
    void setCommandLog(bool on) { logCommands_ = on; }
    // Nanoseconds of USB time the adapter has spent (usbTime only).
    int64_t usbTimeNs(int slot) const;
    uint8_t spiSetup(int slot) const;
    uint8_t spiBits(int slot) const;

    transport::DriverHandle open(const std::string& deviceName) override;
    int ioctl(transport::DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
              uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) override;
    void close(transport::DriverHandle handle) override;
    std::string backendName() const override { return "simulated"; }
    // The virtual clock of a deterministic adapter, in seconds.
    std::optional<double> clockSeconds(int slot) const override;

  private:
    struct Adapter;
    struct Fault {
        uint32_t code;
        int pipe; // -1: any
        int remaining;
        uint32_t shortBytes; // 0: the request fails; otherwise a reply cut to this size
        bool isShort;
        int slot = -1; // -1: any adapter
    };

    Adapter* adapterFor(transport::DriverHandle handle);
    const Fault* takeFault(uint32_t code, int pipe, int slot);
    int bulk(Adapter& a, int pipe, const Fault* fault, uint8_t* out, std::size_t outLen,
             uint32_t& bytesReturned);
    int command(Adapter& a, const uint8_t* cmd, std::size_t len);
    static void busTime(Adapter& a, std::size_t bytes);
    std::vector<uint8_t> stringDescriptor(const Adapter& a, int index) const;

    std::array<std::unique_ptr<Adapter>, transport::ezusb::kSlots> adapters_;
    std::vector<std::pair<transport::DriverHandle, int>> handles_;
    transport::DriverHandle nextHandle_ = 1;
    long totalOpens_ = 0;
    std::vector<Fault> faults_;
    Fault fired_{};
    std::deque<std::vector<uint8_t>> commands_;
    bool logCommands_ = true;
};

} // namespace tavrin::sim
