// Replies of every driver request come from the fuzz input: enumeration, board
// information, SPI set-up and transfers and register reads must never read or write
// past a buffer, leak a handle, or decode a word outside 16 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

#include "TestApp.h"
#include "registers/FrontEnd.h"
#include "transport/EzUsb.h"
#include "transport/UsbSpi.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;

namespace {

class Input {
  public:
    Input(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    void fill(uint8_t* out, size_t len) {
        for (size_t k = 0; k < len; ++k) out[k] = byte();
    }
    bool done() const { return i_ >= n_; }

  private:
    const uint8_t* d_;
    size_t n_;
    size_t i_ = 0;
};

// A driver whose every answer is taken from the input; it keeps only to the seam's own
// contract (never writes past the caller's output size), as any kernel driver does.
class FuzzDriver : public EzUsbDriver {
  public:
    explicit FuzzDriver(Input& in) : in_(in) {}
    DriverHandle open(const std::string&) override {
        if (in_.byte() & 1) return -1;
        open_.insert(next_);
        return next_++;
    }
    int ioctl(DriverHandle h, uint32_t, const uint8_t*, std::size_t, uint8_t* out,
              std::size_t outLen, uint32_t& bytesReturned) override {
        if (!open_.count(h)) std::abort(); // a request on a handle that is not open
        const uint8_t ctl = in_.byte();
        const uint32_t count = in_.word(); // may claim more than the buffer holds
        in_.fill(out, outLen);
        bytesReturned = (ctl & 0x40) ? count : static_cast<uint32_t>(outLen);
        return (ctl & 0x80) ? 0 : 1;
    }
    void close(DriverHandle h) override {
        if (!open_.erase(h)) std::abort(); // closed twice or never opened
    }
    std::string backendName() const override { return "fuzz"; }
    size_t openHandles() const { return open_.size(); }

  private:
    Input& in_;
    std::set<DriverHandle> open_;
    DriverHandle next_ = 1;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    FuzzDriver driver(in);
    test::TestApp t(&driver);
    App& app = t.app;
    app.usb.InterfaceKind = InterfaceUsb;
    LoadRegisterTable(app.regs, 41120);

    (void)UsbFindBuffers(app.link());
    if (app.drv.UsbDevCount < 0 || app.drv.UsbDevCount > 4) std::abort();
    for (const auto& d : app.drv.UsbDevices)
        if (d.Descriptor1.size() > 255 || d.Descriptor2.size() > 255) std::abort();
    (void)UsbSetSpiBits(app.link(), app.usb.SpiBits);
    (void)UsbSetupSpi(app.link(), app.usb.SpiSetupValue);

    while (!in.done() && app.UsbReady()) {
        const uint8_t op = in.byte();
        if (op & 1) {
            (void)ReadRegister(app.registers(), static_cast<int16_t>(op % 40));
            if (app.res.RegRaw < 0 || app.res.RegRaw > 0xFFFF) std::abort();
        } else {
            uint8_t count = in.byte(); // any count, 0 and > 16 included
            for (int i = 1; i <= 16; ++i) app.usb.SpiOutFrames[i] = in.word();
            (void)UsbSpiTransfer(app.link(), count);
        }
        for (int32_t w : app.usb.SpiInWords)
            if (w < 0 || w > 0xFFFF) std::abort();
    }
    if (driver.openHandles() != 0) std::abort();
    return 0;
}
