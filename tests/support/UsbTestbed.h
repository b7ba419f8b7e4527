#pragma once
// Emulated adapters for the libusb backend's tests: a umockdev testbed with sysfs
// entries and device nodes whose usbfs ioctls are answered here, speaking the
// adapter's command protocol with a small register file behind it. The real libusb
// runs unchanged on top. The program must run under umockdev-wrapper, and the
// testbed must exist before libusb is initialised.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace tavrin::test {

struct AdapterSetup {
    uint16_t vendor = 0x5E21, product = 0xB403;
    uint8_t bus = 1;
    std::vector<uint8_t> ports{1}; // hub port path from the root hub
    uint16_t maxPacket = 512;      // of every bulk endpoint; 64 is a full-speed adapter
    std::string descriptor1 = "SPI Adapter", descriptor2 = "Bench Interface";
    uint8_t revMajor = 2, revMinor = 7;
};

// One endpoint's next URB completes with this (negative errno) status and byte count,
// and is not acted on.
struct UrbFault {
    uint8_t endpoint;
    int status;
    int length = 0;
};

class EmulatedAdapter {
  public:
    explicit EmulatedAdapter(AdapterSetup setup) : setup_(std::move(setup)) {}

    // The register file behind the SPI port: 16-bit words at even addresses.
    void setWord(uint8_t address, uint16_t word);

    void injectFault(UrbFault f);
    // Off: commands are taken, replies never come.
    void setAnswering(bool on) { set(&EmulatedAdapter::answering_, on); }
    // On: claiming the interface fails as if another program had it.
    void setBusy(bool on) { set(&EmulatedAdapter::busy_, on); }
    // Off: commands() stays empty (long benchmark runs).
    void setCommandLog(bool on) { set(&EmulatedAdapter::logging_, on); }

    // Every bulk-out payload that reached the adapter, in order.
    std::vector<std::vector<uint8_t>> commands() const { return get(&EmulatedAdapter::commands_); }
    // usbfs opens and interface claims seen.
    int opens() const { return get(&EmulatedAdapter::opens_); }
    int claims() const { return get(&EmulatedAdapter::claims_); }

  private:
    friend class UsbTestbed;
    using Pending = std::pair<UMockdevIoctlClient*, UMockdevIoctlData*>;
    template <class T> T get(T EmulatedAdapter::*m) const {
        std::lock_guard l(mu_);
        return this->*m;
    }
    template <class T> void set(T EmulatedAdapter::*m, T v) {
        std::lock_guard l(mu_);
        this->*m = v;
    }
    // The *Locked members run with mu_ held.
    void handleIoctl(UMockdevIoctlClient* client);
    void vanished(UMockdevIoctlClient* client);
    void commandLocked(const uint8_t* p, std::size_t n);
    void serveWaitingLocked();
    void finishLocked(UMockdevIoctlClient* client, UMockdevIoctlData* urb, int status, int len);
    int controlLocked(uint8_t* setupAndData, int bufferLength);

    AdapterSetup setup_;
    mutable std::mutex mu_;
    std::array<uint8_t, 128> mem_{};
    std::deque<uint8_t> reply_;
    std::deque<Pending> waiting_; // reply URBs with nothing to read yet
    std::map<UMockdevIoctlClient*, std::deque<UMockdevIoctlData*>> reapable_;
    std::deque<UrbFault> faults_;
    std::vector<std::vector<uint8_t>> commands_;
    bool answering_ = true, busy_ = false, plugged_ = true, logging_ = true;
    int opens_ = 0, claims_ = 0;
    uint16_t latch_ = 0; // word the sensor clocks out during the next frame
    // Where the testbed put it; only the testbed's thread touches these.
    std::string sysPath_, devNode_;
    UMockdevIoctlBase* handler_ = nullptr;
};

class UsbTestbed {
  public:
    UsbTestbed();
    ~UsbTestbed();

    // Attaches an adapter (creating root and intermediate hubs as needed).
    EmulatedAdapter& plug(AdapterSetup setup);
    // Takes it away: its node answers nothing but ENODEV and it leaves sysfs.
    void unplug(EmulatedAdapter& a);
    // Puts it back on the same port with a new device address, as a real replug does.
    void replug(EmulatedAdapter& a);

  private:
    std::string addDevice(uint8_t bus, const std::vector<uint8_t>& ports, bool highSpeed,
                          const std::vector<uint8_t>& descriptors, std::string* devNode);
    void attach(EmulatedAdapter& a);
    void detach(EmulatedAdapter& a);

    UMockdevTestbed* bed_ = nullptr;
    std::string root_;
    std::map<std::string, std::string> hubs_; // sysfs name -> sys path
    std::map<uint8_t, int> nextAddress_;
    std::vector<std::unique_ptr<EmulatedAdapter>> adapters_;
};

} // namespace tavrin::test
