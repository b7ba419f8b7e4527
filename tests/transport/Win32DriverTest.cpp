// The Windows backend around a fake of the three system calls. The fake forwards to
// simulated adapters, so the program's adapter layer runs on top of it as on Windows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestApp.h"
#include "app/State.h"
#include "sim/SimDriver.h"
#include "transport/FrontEnd.h"
#include "transport/UsbSpi.h"
#include "transport/win32/Win32Driver.h"

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

struct Open {
    std::string path;
    uint32_t access, share, disposition, flags;
};
struct Request {
    Win32Calls::Handle h;
    uint32_t code;
    void* in;
    uint32_t inSize;
    void* out;
    uint32_t outSize;
};

// The system as a program sees it: files are the simulator's devices, the handle values
// are the system's own (its next free one, as on Windows, so a closed value comes back).
class FakeCalls : public Win32Calls {
  public:
    sim::SimDriver sim;
    std::vector<Open> opens;
    std::vector<Request> requests;
    std::vector<Handle> closes;
    // When set, replaces the simulator's answer: result and reported byte count.
    std::optional<std::pair<int, uint32_t>> answer;

    Handle createFileA(const char* path, uint32_t access, uint32_t share, uint32_t disposition,
                       uint32_t flags) override {
        opens.push_back({path, access, share, disposition, flags});
        const std::string prefix = "\\\\.\\";
        const std::string p = path;
        if (p.compare(0, prefix.size(), prefix) != 0) return kInvalidHandle;
        const DriverHandle d = sim.open(p.substr(prefix.size()));
        if (d <= 0) return kInvalidHandle;
        Handle h = 0x40;
        while (open_.count(h)) h += 4;
        open_[h] = d;
        return h;
    }
    int deviceIoControl(Handle h, uint32_t code, void* in, uint32_t inSize, void* out,
                        uint32_t outSize, uint32_t* got) override {
        requests.push_back({h, code, in, inSize, out, outSize});
        if (answer) {
            *got = answer->second;
            return answer->first;
        }
        const auto it = open_.find(h);
        if (it == open_.end()) return 0;
        return sim.ioctl(it->second, code, static_cast<const uint8_t*>(in), inSize,
                         static_cast<uint8_t*>(out), outSize, *got);
    }
    int closeHandle(Handle h) override {
        closes.push_back(h);
        const auto it = open_.find(h);
        if (it == open_.end()) return 0;
        sim.close(it->second);
        open_.erase(it);
        return 1;
    }
    std::size_t openFiles() const { return open_.size(); }

  private:
    std::map<Handle, DriverHandle> open_;
};

TEST(Win32Driver, OpensOnlyTheAdapterNamesAsWriteSharedExistingFiles) {
    FakeCalls sys;
    sys.sim.addAdapter(1);
    sys.sim.addAdapter(3);
    {
        Win32Driver drv(sys);
        for (const char* bad : {"Ezusb-4", "Ezusb-", "Ezusb-01", "ezusb-0", "Ezusb-0 ",
                                "..\\Ezusb-0", "PhysicalDrive0", ""})
            EXPECT_LE(drv.open(bad), 0) << bad;
        EXPECT_TRUE(sys.opens.empty());

        EXPECT_LE(drv.open("Ezusb-0"), 0); // nothing there
        const DriverHandle a = drv.open("Ezusb-1");
        const DriverHandle b = drv.open("Ezusb-3");
        ASSERT_EQ(sys.opens.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const Open& o = sys.opens[i];
            EXPECT_EQ(o.path, std::string("\\\\.\\Ezusb-") + "013"[i]);
            EXPECT_EQ(o.access, 0x40000000u);
            EXPECT_EQ(o.share, 2u);
            EXPECT_EQ(o.disposition, 3u);
            EXPECT_EQ(o.flags, 0u);
        }
        EXPECT_GT(a, 0);
        EXPECT_GT(b, 0);
        EXPECT_NE(a, b);
        EXPECT_EQ(drv.backendName(), "USB");

        drv.close(a);
        drv.close(a);
        drv.close(12345);
        EXPECT_EQ(sys.closes, (std::vector<Win32Calls::Handle>{0x40}));
        EXPECT_EQ(drv.openHandles(), 1u);
    }
    // Whatever the program left open is closed with the driver.
    EXPECT_EQ(sys.closes, (std::vector<Win32Calls::Handle>{0x40, 0x44}));
    EXPECT_EQ(sys.openFiles(), 0u);
}

TEST(Win32Driver, RequestsReachTheDriverAsGivenAndItsCountComesBack) {
    FakeCalls sys;
    sys.sim.addAdapter(0);
    Win32Driver drv(sys);
    const DriverHandle h = drv.open("Ezusb-0");
    uint32_t got = 99;

    Bytes dev(ezusb::kDeviceDescriptorSize);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetDeviceDescriptor, dev.data(), dev.size(), dev.data(),
                        dev.size(), got),
              1);
    EXPECT_EQ(dev[8] | dev[9] << 8, ezusb::kVendor);
    EXPECT_EQ(dev[10] | dev[11] << 8, ezusb::kProductVorla);

    const uint8_t ask[5] = {1, 0, 0, 0, 0x1B};
    Bytes head(4);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetStringDescriptor, ask, 5, head.data(), 4, got), 1);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(head[1], 3); // a string descriptor

    Bytes pipes(ezusb::kPipeInfoSize);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetPipeInfo, pipes.data(), pipes.size(), pipes.data(),
                        pipes.size(), got),
              1);
    EXPECT_EQ(pipes[16 + 20 * 3] | pipes[17 + 20 * 3] << 8, 512);

    const uint8_t pipe0[4] = {0, 0, 0, 0};
    uint8_t cmd[1] = {0x00};
    ASSERT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe0, 4, cmd, 1, got), 1);
    EXPECT_EQ(got, 1u);

    ASSERT_EQ(sys.requests.size(), 4u);
    const Request& r0 = sys.requests[0];
    EXPECT_EQ(r0.h, 0x40);
    EXPECT_EQ(r0.code, 0x222004u);
    EXPECT_EQ(r0.in, dev.data());
    EXPECT_EQ(r0.out, dev.data());
    EXPECT_EQ(r0.inSize, 147u);
    EXPECT_EQ(r0.outSize, 147u);
    EXPECT_EQ(sys.requests[1].code, 0x222044u);
    EXPECT_EQ(sys.requests[1].in, ask);
    EXPECT_EQ(sys.requests[1].inSize, 5u);
    EXPECT_EQ(sys.requests[1].outSize, 4u);
    EXPECT_EQ(sys.requests[2].code, 0x222000u);
    EXPECT_EQ(sys.requests[2].outSize, 356u);
    EXPECT_EQ(sys.requests[3].code, 0x222051u);
    EXPECT_EQ(sys.requests[3].in, pipe0);
    EXPECT_EQ(sys.requests[3].out, cmd);
    EXPECT_EQ(sys.requests[3].outSize, 1u);
    EXPECT_EQ(sys.sim.commands().back(), Bytes{0x00});

    // A failure keeps its count; any non-zero success is 1; a count past the buffer
    // is cut to it.
    Bytes reply(2);
    const uint8_t pipe1[4] = {1, 0, 0, 0};
    sys.answer = {{0, 1}};
    EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, reply.data(), 2, got), 0);
    EXPECT_EQ(got, 1u);
    sys.answer = {{7, 2}};
    EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, reply.data(), 2, got), 1);
    EXPECT_EQ(got, 2u);
    sys.answer = {{1, 4096}};
    EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, reply.data(), 2, got), 1);
    EXPECT_EQ(got, 2u);
}

TEST(Win32Driver, MalformedRequestsAndStaleHandlesReachNoDriver) {
    FakeCalls sys;
    sys.sim.addAdapter(0);
    Win32Driver drv(sys);
    const DriverHandle old = drv.open("Ezusb-0");
    drv.close(old);
    const DriverHandle h = drv.open("Ezusb-0"); // the system gives the same value again
    ASSERT_EQ(sys.opens.size(), 2u);
    Bytes buf(4);
    const uint8_t pipe0[4] = {0, 0, 0, 0};
    uint32_t got = 0;
    const auto refused = [&](DriverHandle hh, uint32_t code, const uint8_t* in, std::size_t inLen,
                             uint8_t* out, std::size_t outLen) {
        got = 77;
        return drv.ioctl(hh, code, in, inLen, out, outLen, got) == 0 && got == 0;
    };
    EXPECT_TRUE(refused(old, ezusb::kBulkTransfer, pipe0, 4, buf.data(), 1));
    EXPECT_TRUE(refused(0, ezusb::kBulkTransfer, pipe0, 4, buf.data(), 1));
    EXPECT_TRUE(refused(h, 0x222999, pipe0, 4, buf.data(), 4)); // not one of ours
    EXPECT_TRUE(refused(h, ezusb::kBulkTransfer, pipe0, 3, buf.data(), 1));
    EXPECT_TRUE(refused(h, ezusb::kBulkTransfer, nullptr, 4, buf.data(), 1));
    EXPECT_TRUE(refused(h, ezusb::kBulkTransfer, pipe0, 4, nullptr, 1));
    EXPECT_TRUE(refused(h, ezusb::kGetPipeInfo, nullptr, 0, buf.data(), std::size_t{1} << 32));
    EXPECT_TRUE(sys.requests.empty());
    EXPECT_TRUE(sys.sim.commands().empty());
    EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe0, 4, buf.data(), 1, got), 1);
}

// What the user sees: the search and the reads, on the driver's calls.
TEST(Win32Driver, TheAdapterLayerSearchesAndReadsThroughIt) {
    {
        FakeCalls sys;
        Win32Driver drv(sys);
        test::TestApp t(&drv);
        UsbFindBuffers(t.app);
        EXPECT_EQ(t.messages.texts(),
                  Texts{"No USB Buffers Found, Please Verify Setup and Restart"});
        EXPECT_EQ(sys.opens.size(), 4u);
        EXPECT_TRUE(sys.requests.empty());
    }
    FakeCalls sys;
    sim::SimOptions qeb;
    qeb.productId = ezusb::kProductQeb;
    qeb.highSpeed = false;
    sys.sim.addAdapter(0);
    sim::SimSensor& sensor = sys.sim.addAdapter(2, qeb);
    sys.sim.addAdapter(3, {.productId = 0xB777});
    Win32Driver drv(sys);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    UsbFindBuffers(t.app);
    EXPECT_TRUE(t.messages.shown.empty());
    const auto& dev = t.app.drv.UsbDevices;
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_EQ(dev[0].BoardType, "VORLA");
    EXPECT_EQ(dev[0].Speed, "2");
    EXPECT_EQ(dev[2].BoardType, "QEB");
    EXPECT_EQ(dev[2].Descriptor2, "QEB USB-SPI");
    EXPECT_FLOAT_EQ(dev[2].FirmwareRev, 2.1f);
    EXPECT_EQ(dev[2].Speed, "1.1");
    EXPECT_EQ(t.app.usb.SpiSetupValue, 35);
    EXPECT_FALSE(dev[3].Present);
    ASSERT_TRUE(t.app.usb.UsbReady);

    t.app.usb.UsbSelDevice = dev[2];
    sensor.hold(0x3E, 0xABCD);
    int16_t address = 0x3E;
    EXPECT_EQ(ReadRegisterWord(t.app, address), 0xABCD);
    EXPECT_EQ(sys.closes.size(), sys.opens.size() - 1); // Ezusb-1 never opened
    EXPECT_EQ(sys.openFiles(), 0u);

    // An adapter whose second string cannot be read: one message, and it is not used.
    sys.sim.failStringDescriptor(0, 2);
    t.messages.clear();
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.messages.texts().front(), "Error getting Board Info");
    EXPECT_FALSE(dev[0].Present);
    EXPECT_EQ(dev[0].Descriptor1, "Corvane");
    EXPECT_TRUE(dev[2].Present);
}

} // namespace
} // namespace tavrin
