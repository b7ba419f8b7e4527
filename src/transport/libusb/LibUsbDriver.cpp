#include "transport/libusb/LibUsbDriver.h"

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

#include <libusb.h>

namespace tavrin::transport::libusb {
namespace {

constexpr uint16_t kFallbackLangId = 0x0409;
constexpr int kMaxPortDepth = 7;

DeviceDescriptor FromLibUsb(const libusb_device_descriptor& d) {
    DeviceDescriptor r;
    r.bLength = d.bLength;
    r.bDescriptorType = d.bDescriptorType;
    r.bcdUSB = d.bcdUSB;
    r.bDeviceClass = d.bDeviceClass;
    r.bDeviceSubClass = d.bDeviceSubClass;
    r.bDeviceProtocol = d.bDeviceProtocol;
    r.bMaxPacketSize0 = d.bMaxPacketSize0;
    r.idVendor = d.idVendor;
    r.idProduct = d.idProduct;
    r.bcdDevice = d.bcdDevice;
    r.iManufacturer = d.iManufacturer;
    r.iProduct = d.iProduct;
    r.iSerialNumber = d.iSerialNumber;
    r.bNumConfigurations = d.bNumConfigurations;
    return r;
}

} // namespace

LibUsbDriver::LibUsbDriver(LibUsbOptions options) : options_(options) {
    const int r = libusb_init(&ctx_);
    if (r != LIBUSB_SUCCESS) {
        ctx_ = nullptr;
        initError_ =
            std::string("USB not available: ") + libusb_strerror(static_cast<libusb_error>(r));
    }
}

LibUsbDriver::~LibUsbDriver() {
    for (Slot& s : slots_) releaseSlot(s);
    if (ctx_ != nullptr) libusb_exit(ctx_);
}

void LibUsbDriver::releaseSlot(Slot& s) {
    if (s.usb != nullptr) {
        libusb_release_interface(s.usb, s.iface.number);
        libusb_close(s.usb);
    }
    if (s.device != nullptr) libusb_unref_device(s.device);
    s = Slot{};
}

void LibUsbDriver::enumerate() {
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_, &list);
    if (n < 0) return;

    std::vector<libusb_device*> adapters;
    std::vector<Location> where;
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS) continue;
        if (d.idVendor != ezusb::kVendor) continue;
        uint8_t ports[kMaxPortDepth] = {};
        const int depth = libusb_get_port_numbers(list[i], ports, kMaxPortDepth);
        Location loc{libusb_get_bus_number(list[i]), {}};
        if (depth > 0) loc.ports.assign(ports, ports + depth);
        adapters.push_back(list[i]);
        where.push_back(std::move(loc));
    }
    const std::vector<std::size_t> order = SlotOrder(where, slots_.size());

    for (std::size_t k = 0; k < slots_.size(); ++k) {
        libusb_device* now = k < order.size() ? adapters[order[k]] : nullptr;
        Slot& s = slots_[k];
        if (s.device == now) continue; // same adapter, keep it open
        releaseSlot(s);
        if (now != nullptr) {
            s.device = libusb_ref_device(now);
            s.generation = nextGeneration_++;
        }
    }
    libusb_free_device_list(list, 1);
}

bool LibUsbDriver::openSlot(Slot& s) {
    libusb_config_descriptor* config = nullptr;
    int r = libusb_get_active_config_descriptor(s.device, &config);
    if (r != LIBUSB_SUCCESS) {
        s.status = OpenFailureReason(r);
        return false;
    }
    bool usable = config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0;
    if (usable) {
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        s.iface = InterfaceInfo{alt.bInterfaceNumber,   alt.bAlternateSetting,  alt.bInterfaceClass,
                                alt.bInterfaceSubClass, alt.bInterfaceProtocol, {}};
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[e];
            s.iface.endpoints.push_back(
                {ep.bEndpointAddress, ep.bmAttributes, ep.wMaxPacketSize, ep.bInterval});
        }
    }
    libusb_free_config_descriptor(config);
    if (!usable) {
        s.status = "no usable interface";
        return false;
    }

    libusb_device_handle* h = nullptr;
    r = libusb_open(s.device, &h);
    if (r != LIBUSB_SUCCESS) {
        s.status = OpenFailureReason(r);
        return false;
    }
    // A kernel driver bound to the interface would make the claim fail.
    libusb_set_auto_detach_kernel_driver(h, 1);
    r = libusb_claim_interface(h, s.iface.number);
    if (r != LIBUSB_SUCCESS) {
        libusb_close(h);
        s.status = OpenFailureReason(r);
        return false;
    }
    s.usb = h;
    s.langId = 0;
    s.status.clear();
    return true;
}

DriverHandle LibUsbDriver::open(const std::string& deviceName) {
    const int k = SlotFromName(deviceName, static_cast<int>(slots_.size()));
    if (k < 0 || ctx_ == nullptr) return -1;
    Slot& s = slots_[k];
    // Unplugged while idle: nothing has failed yet, but its device entry is gone.
    int config = 0;
    if (s.usb != nullptr && libusb_get_configuration(s.usb, &config) == LIBUSB_ERROR_NO_DEVICE)
        releaseSlot(s);
    if (s.usb == nullptr) enumerate();
    if (s.device == nullptr) return -1;
    if (s.usb == nullptr && !openSlot(s)) return -1;
    const DriverHandle id = nextHandle_++;
    handles_[id] = HandleRef{k, s.generation};
    return id;
}

void LibUsbDriver::close(DriverHandle handle) {
    handles_.erase(handle);
}

LibUsbDriver::Slot* LibUsbDriver::slotFor(DriverHandle handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return nullptr;
    Slot& s = slots_[it->second.slot];
    // A handle from before an unplug or a re-enumeration refers to a device that is gone.
    if (s.usb == nullptr || s.generation != it->second.generation) return nullptr;
    return &s;
}

int LibUsbDriver::failed(Slot& s, int error, uint8_t endpoint) {
    if (error == LIBUSB_ERROR_NO_DEVICE) {
        // Unplugged: let go of it so the next open of its name looks again.
        releaseSlot(s);
    } else if (error == LIBUSB_ERROR_PIPE && (endpoint & 0x7F) != 0) {
        // A halted endpoint stays halted until cleared; the next command would fail too.
        libusb_clear_halt(s.usb, endpoint);
    }
    return 0;
}

int LibUsbDriver::ioctl(DriverHandle handle, uint32_t code, const uint8_t* in, std::size_t inLen,
                        uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) {
    bytesReturned = 0;
    Slot* s = slotFor(handle);
    if (s == nullptr) return 0;
    switch (code) {
    case ezusb::kGetDeviceDescriptor: {
        if (out == nullptr) return 0;
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(s->device, &d) != LIBUSB_SUCCESS) return 0;
        const std::size_t n = FormatDeviceDescriptor(FromLibUsb(d), {out, outLen});
        bytesReturned = static_cast<uint32_t>(n);
        return n > 0 ? 1 : 0;
    }
    case ezusb::kGetStringDescriptor:
        return stringDescriptor(*s, in, inLen, out, outLen, bytesReturned);
    case ezusb::kGetPipeInfo: {
        if (out == nullptr) return 0;
        const std::size_t n = FormatPipeInfo(s->iface, {out, outLen});
        bytesReturned = static_cast<uint32_t>(n);
        return n > 0 ? 1 : 0;
    }
    case ezusb::kBulkTransfer:
        return bulkTransfer(*s, in, inLen, out, outLen, bytesReturned);
    default:
        return 0;
    }
}

int LibUsbDriver::stringDescriptor(Slot& s, const uint8_t* in, std::size_t inLen, uint8_t* out,
                                   std::size_t outLen, uint32_t& bytesReturned) {
    if (in == nullptr || inLen < 1 || out == nullptr || outLen == 0) return 0;
    const uint8_t index = in[0];
    const auto ask = [&](uint8_t i, uint16_t lang, uint8_t* buf, std::size_t len) {
        return libusb_control_transfer(s.usb, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                       static_cast<uint16_t>((LIBUSB_DT_STRING << 8) | i), lang,
                                       buf, static_cast<uint16_t>(std::min<std::size_t>(len, 255)),
                                       options_.commandTimeoutMs);
    };
    uint16_t lang = 0;
    if (index != 0) {
        if (s.langId == 0) {
            uint8_t langs[255] = {};
            const int r = ask(0, 0, langs, sizeof langs);
            if (r == LIBUSB_ERROR_NO_DEVICE) return failed(s, r, 0);
            s.langId = (r >= 4 && langs[1] == LIBUSB_DT_STRING)
                           ? static_cast<uint16_t>(langs[2] | (langs[3] << 8))
                           : kFallbackLangId;
        }
        lang = s.langId;
    }
    const int r = ask(index, lang, out, outLen);
    if (r < 0) return failed(s, r, 0);
    bytesReturned = static_cast<uint32_t>(r);
    return 1;
}

void LibUsbDriver::drainLateReply(Slot& s) {
    const uint8_t ep = s.lateReplyEndpoint;
    s.lateReplyEndpoint = 0;
    uint8_t junk[512];
    for (int i = 0; i < 64; ++i) {
        int got = 0;
        const int r =
            libusb_bulk_transfer(s.usb, ep, junk, sizeof junk, &got, options_.drainTimeoutMs);
        if (r != LIBUSB_SUCCESS || got == 0) return;
    }
}

int LibUsbDriver::bulkTransfer(Slot& s, const uint8_t* in, std::size_t inLen, uint8_t* out,
                               std::size_t outLen, uint32_t& bytesReturned) {
    const int64_t pipe = PipeFromRequest(in, inLen);
    if (pipe < 0 || pipe >= static_cast<int64_t>(s.iface.endpoints.size())) return 0;
    if (out == nullptr && outLen != 0) return 0;
    if (outLen > static_cast<std::size_t>(INT_MAX)) return 0;
    const Endpoint& ep = s.iface.endpoints[static_cast<std::size_t>(pipe)];
    const bool toHost = (ep.address & LIBUSB_ENDPOINT_IN) != 0;
    if (!toHost && s.lateReplyEndpoint != 0) drainLateReply(s);
    const unsigned timeout = toHost ? options_.replyTimeoutMs : options_.commandTimeoutMs;
    const int len = static_cast<int>(outLen);
    int done = 0;
    const int r = (ep.attributes & 0x03) == LIBUSB_TRANSFER_TYPE_INTERRUPT
                      ? libusb_interrupt_transfer(s.usb, ep.address, out, len, &done, timeout)
                      : libusb_bulk_transfer(s.usb, ep.address, out, len, &done, timeout);
    bytesReturned = static_cast<uint32_t>(std::max(done, 0));
    if (r == LIBUSB_ERROR_TIMEOUT && toHost) s.lateReplyEndpoint = ep.address;
    if (r != LIBUSB_SUCCESS) return failed(s, r, ep.address);
    // A command only partly sent is a failed command.
    if (!toHost && done != len) return 0;
    return 1;
}

std::string LibUsbDriver::slotStatus(int slot) {
    if (slot < 0 || slot >= static_cast<int>(slots_.size())) return {};
    if (ctx_ == nullptr) return slot == 0 ? initError_ : std::string{};
    return slots_[slot].status;
}

std::unique_ptr<EzUsbDriver> MakeLibUsbDriver() {
    return std::make_unique<LibUsbDriver>();
}

} // namespace tavrin::transport::libusb

namespace tavrin::transport {

std::unique_ptr<EzUsbDriver> MakeHardwareDriver() {
    return libusb::MakeLibUsbDriver();
}

} // namespace tavrin::transport
