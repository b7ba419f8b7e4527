// The Windows backend against a fake of the three system calls that forwards to
// simulated adapters, so the adapter layer runs on it as it does on Windows.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

#include "TestApp.h"
#include "sim/SimDriver.h"
#include "transport/UsbSpi.h"
#include "transport/win32/Win32Driver.h"

using namespace tavrin::transport;

namespace tavrin {
namespace {

using Handle = win32::Win32Calls::Handle;
using Open = std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t>;
using Bytes = std::vector<uint8_t>;
// Handle, code, the input's bytes, the output's size.
using Request = std::tuple<Handle, uint32_t, Bytes, uint32_t>;

// Handle values are the system's lowest free ones, so a closed value comes back.
class FakeCalls : public win32::Win32Calls {
  public:
    sim::SimDriver sim;
    std::vector<Open> opens;
    std::vector<Request> requests;
    std::vector<Handle> closes;
    std::optional<std::pair<int, uint32_t>> answer; // result and count, instead of sim's
    std::map<Handle, DriverHandle> files;

    Handle createFileA(const char* path, uint32_t access, uint32_t share, uint32_t disposition,
                       uint32_t flags) override {
        opens.emplace_back(path, access, share, disposition, flags);
        const std::string p = path;
        const DriverHandle d = p.rfind("\\\\.\\", 0) == 0 ? sim.open(p.substr(4)) : -1;
        if (d <= 0) return kInvalidHandle;
        Handle h = 0x40;
        while (files.count(h)) h += 4;
        files[h] = d;
        return h;
    }
    int deviceIoControl(Handle h, uint32_t code, void* in, uint32_t inSize, void* out,
                        uint32_t outSize, uint32_t* got) override {
        const auto* bytes = static_cast<const uint8_t*>(in);
        requests.emplace_back(h, code, bytes ? Bytes(bytes, bytes + inSize) : Bytes{}, outSize);
        if (answer) return *got = answer->second, answer->first;
        return files.count(h) && sim.ioctl(files[h], code, static_cast<const uint8_t*>(in), inSize,
                                           static_cast<uint8_t*>(out), outSize, *got);
    }
    int closeHandle(Handle h) override {
        closes.push_back(h);
        if (files.count(h)) sim.close(files[h]);
        return files.erase(h) == 1;
    }
};

TEST(Win32Driver, OpensOnlyAdapterNamesAsWriteSharedExistingFilesAndRefusesBadRequests) {
    FakeCalls sys;
    sys.sim.addAdapter(1);
    sys.sim.addAdapter(3);
    {
        win32::Win32Driver drv(sys);
        for (const char* bad :
             {"Ezusb-4", "Ezusb-", "Ezusb-01", "ezusb-0", "Ezusb-0 ", "..\\Ezusb-0", "COM1", ""})
            EXPECT_LE(drv.open(bad), 0) << bad;
        EXPECT_TRUE(sys.opens.empty());

        EXPECT_LE(drv.open("Ezusb-0"), 0); // nothing there
        const DriverHandle old = drv.open("Ezusb-1"), b = drv.open("Ezusb-3");
        const auto as = [](const char* path) { return Open{path, 0x40000000, 2, 3, 0}; };
        EXPECT_EQ(sys.opens, (std::vector<Open>{as("\\\\.\\Ezusb-0"), as("\\\\.\\Ezusb-1"),
                                                as("\\\\.\\Ezusb-3")}));
        EXPECT_TRUE(old > 0 && b > old);
        drv.close(old);
        drv.close(old);
        drv.close(12345);
        EXPECT_EQ(sys.closes, (std::vector<Handle>{0x40}));

        // The system gives the closed value again: the old handle must not reach it.
        const DriverHandle h = drv.open("Ezusb-1");
        uint8_t buf[4] = {};
        const uint8_t pipe0[4] = {0, 0, 0, 0};
        uint32_t got = 0;
        const std::tuple<DriverHandle, uint32_t, const uint8_t*, std::size_t, uint8_t*, std::size_t>
            refused[] = {{old, ezusb::kBulkTransfer, pipe0, 4, buf, 1},
                         {0, ezusb::kBulkTransfer, pipe0, 4, buf, 1},
                         {h, 0x222999, pipe0, 4, buf, 4}, // not one of the adapter's
                         {h, ezusb::kBulkTransfer, pipe0, 3, buf, 1},
                         {h, ezusb::kBulkTransfer, nullptr, 4, buf, 1},
                         {h, ezusb::kBulkTransfer, pipe0, 4, nullptr, 1},
                         {h, ezusb::kGetPipeInfo, nullptr, 0, buf, std::size_t{1} << 32}};
        for (const auto& [hh, code, in, inLen, out, outLen] : refused) {
            got = 77;
            EXPECT_EQ(drv.ioctl(hh, code, in, inLen, out, outLen, got) + got, 0u) << code;
        }
        EXPECT_TRUE(sys.requests.empty());
        EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe0, 4, buf, 1, got), 1);
    }
    // What the program left open is closed with the driver.
    EXPECT_EQ(sys.closes, (std::vector<Handle>{0x40, 0x44, 0x40}));
}

// The adapter layer's requests as the driver receives them: codes, input bytes, buffer sizes.
TEST(Win32Driver, ASearchSendsTheDocumentedRequests) {
    FakeCalls sys;
    sys.sim.addAdapter(0);
    win32::Win32Driver drv(sys);
    tavrin::test::TestApp t(&drv);
    EXPECT_TRUE(UsbFindBuffers(t.app.link()).empty());
    ASSERT_TRUE(t.app.drv.UsbDevices[0].Present);
    const Bytes zero147(147, 0), string1 = {1, 0, 0, 0, 0x1B}, string2 = {2, 0, 0, 0, 0x1B};
    const std::vector<Request> expected = {
        {0x40, 0x222004, zero147, 147},    {0x40, 0x222044, string1, 4}, // head, then the length
        {0x40, 0x222044, string1, 16},     {0x40, 0x222044, string2, 4},
        {0x40, 0x222044, string2, 28},     {0x40, 0x222051, {0, 0, 0, 0}, 1}, // revision request
        {0x40, 0x222051, {1, 0, 0, 0}, 2}, {0x40, 0x222000, Bytes(356, 0), 356}};
    EXPECT_EQ(std::vector<Request>(sys.requests.begin(), sys.requests.begin() + 8), expected);

    // A failure keeps its count; any non-zero result is success; a count past the
    // buffer is cut to it.
    const DriverHandle h = drv.open("Ezusb-0");
    const uint8_t pipe1[4] = {1, 0, 0, 0};
    uint8_t buf[2] = {};
    uint32_t got = 99;
    for (auto [answer, result, count] : {std::tuple{std::pair{0, 1u}, 0, 1u},
                                         {std::pair{7, 2u}, 1, 2u},
                                         {std::pair{1, 4096u}, 1, 2u}}) {
        sys.answer = answer;
        EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, buf, 2, got), result);
        EXPECT_EQ(got, count);
    }
}

} // namespace
} // namespace tavrin
