#include "UsbTestbed.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <glib/gstdio.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

namespace tavrin::test {
namespace {

constexpr uint8_t kCommandEp = 0x01, kReplyEp = 0x81;

struct Unref {
    void operator()(UMockdevIoctlData* d) const { g_object_unref(d); }
};
using Data = std::unique_ptr<UMockdevIoctlData, Unref>;

Data Resolve(UMockdevIoctlData* parent, std::size_t offset, std::size_t size) {
    return Data(umockdev_ioctl_data_resolve(parent, offset, size, nullptr));
}

std::vector<uint8_t> AdapterDescriptors(const AdapterSetup& s) {
    const uint8_t lo = s.maxPacket & 0xFF, hi = s.maxPacket >> 8;
    return {18, 1, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 64, static_cast<uint8_t>(s.vendor & 0xFF),
            static_cast<uint8_t>(s.vendor >> 8), static_cast<uint8_t>(s.product & 0xFF),
            static_cast<uint8_t>(s.product >> 8), 0x01, 0x00, 1, 2, 0, 1,
            // configuration 1, one interface with four bulk endpoints
            9, 2, 46, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 4, 0xFF, 0xFF, 0xFF, 0, 7, 5, 0x01, 2, lo,
            hi, 0, 7, 5, 0x81, 2, lo, hi, 0, 7, 5, 0x02, 2, lo, hi, 0, 7, 5, 0x86, 2, lo, hi, 0};
}

std::string SysName(uint8_t bus, const std::vector<uint8_t>& ports) {
    std::string n = ports.empty() ? "usb" + std::to_string(bus) : std::to_string(bus) + "-";
    for (std::size_t i = 0; i < ports.size(); ++i)
        n += (i > 0 ? "." : "") + std::to_string(ports[i]);
    return n;
}

std::string Three(int v) {
    return std::string(v < 10 ? 2 : v < 100 ? 1 : 0, '0') + std::to_string(v);
}

} // namespace

// ---- the adapter -------------------------------------------------------------

void EmulatedAdapter::setWord(uint8_t address, uint16_t w) {
    std::lock_guard l(mu_);
    mem_[address & 0x7E] = static_cast<uint8_t>(w & 0xFF);
    mem_[(address & 0x7E) + 1] = static_cast<uint8_t>(w >> 8);
}

void EmulatedAdapter::injectFault(UrbFault f) {
    std::lock_guard l(mu_);
    faults_.push_back(f);
}

void EmulatedAdapter::vanished(UMockdevIoctlClient* client) {
    std::lock_guard l(mu_);
    for (UMockdevIoctlData* d : reapable_[client]) g_object_unref(d);
    reapable_.erase(client);
    std::erase_if(waiting_, [&](const Pending& p) {
        if (p.first == client) g_object_unref(p.second);
        return p.first == client;
    });
}

// The adapter's command protocol, on the command endpoint.
void EmulatedAdapter::commandLocked(const uint8_t* p, std::size_t n) {
    if (logging_) commands_.emplace_back(p, p + n);
    if (n == 0) return;
    if (p[0] == 0x00) {
        reply_.insert(reply_.end(), {setup_.revMajor, setup_.revMinor});
    } else if ((p[0] == 0x0D || p[0] == 0x0E) && n >= 3) {
        const std::size_t frames = std::min<std::size_t>(p[2], (n - 3) / 2);
        for (std::size_t i = 0; i < frames; ++i) {
            const uint16_t f = static_cast<uint16_t>((p[3 + 2 * i] << 8) | p[4 + 2 * i]);
            const uint16_t out = latch_;
            const uint8_t addr = (f >> 8) & 0x7F, a = addr & 0x7E;
            if (f & 0x8000) mem_[addr] = static_cast<uint8_t>(f & 0xFF);
            latch_ = (f & 0x8000) ? 0 : static_cast<uint16_t>(mem_[a] | (mem_[a + 1] << 8));
            reply_.insert(reply_.end(),
                          {static_cast<uint8_t>(out >> 8), static_cast<uint8_t>(out & 0xFF)});
        }
    }
}

void EmulatedAdapter::finishLocked(UMockdevIoctlClient* client, UMockdevIoctlData* urbData,
                                   int status, int len) {
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    urb->status = status;
    urb->actual_length = len;
    reapable_[client].push_back(urbData); // keeps our reference until reaped
}

// Hands queued reply bytes to reply URBs that were waiting for them.
void EmulatedAdapter::serveWaitingLocked() {
    while (!waiting_.empty() && !reply_.empty()) {
        const Pending p = waiting_.front();
        waiting_.pop_front();
        auto* urb = reinterpret_cast<usbdevfs_urb*>(p.second->data);
        const Data buf = Resolve(p.second, offsetof(usbdevfs_urb, buffer),
                                 static_cast<std::size_t>(urb->buffer_length));
        int n = 0;
        for (; buf && n < urb->buffer_length && !reply_.empty(); reply_.pop_front())
            buf->data[n++] = reply_.front();
        finishLocked(p.first, p.second, 0, n);
    }
}

// A control request on endpoint 0: only string descriptors are asked for.
int EmulatedAdapter::controlLocked(uint8_t* b, int bufferLength) {
    const uint8_t index = b[2];
    const int wLength = b[6] | (b[7] << 8);
    if (b[0] != 0x80 || b[1] != 6 || b[3] != 3) return -EPIPE;
    if (index > 2) return -EPIPE;
    std::vector<uint8_t> d = {4, 3, 0x09, 0x04}; // US English
    if (index > 0) {
        const std::string& text = index == 1 ? setup_.descriptor1 : setup_.descriptor2;
        d = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
        for (char c : text) d.insert(d.end(), {static_cast<uint8_t>(c), 0});
    }
    const int n = std::min({wLength, bufferLength - 8, static_cast<int>(d.size())});
    std::memcpy(b + 8, d.data(), static_cast<std::size_t>(n));
    return n;
}

void EmulatedAdapter::handleIoctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard l(mu_);
    const auto done = [&](long result, int err) {
        umockdev_ioctl_client_complete(client, result, err);
    };
    if (!plugged_) return done(-1, ENODEV);

    switch (request) {
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_CLAIMINTERFACE:
        if (busy_) return done(-1, EBUSY);
        ++claims_;
        [[fallthrough]];
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RELEASEINTERFACE:
        return done(0, 0);
    case USBDEVFS_SUBMITURB: {
        // Our reference to the URB goes to reapable_ once it completes.
        UMockdevIoctlData* urbData =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        const int length = urb->buffer_length;
        const Data buf = length > 0 ? Resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                              static_cast<std::size_t>(length))
                                    : nullptr;
        const uint8_t ep = urb->endpoint;
        auto fault = std::find_if(faults_.begin(), faults_.end(),
                                  [&](const UrbFault& f) { return f.endpoint == ep; });
        if (fault != faults_.end()) {
            const UrbFault f = *fault;
            faults_.erase(fault);
            if (ep == kReplyEp) reply_.clear(); // a garbled reply is lost
            finishLocked(client, urbData, f.status, f.length);
        } else if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            const int n = controlLocked(buf ? buf->data : nullptr, length);
            finishLocked(client, urbData, std::min(n, 0), std::max(n, 0));
        } else if (ep == kCommandEp) {
            commandLocked(buf ? buf->data : nullptr, static_cast<std::size_t>(length));
            finishLocked(client, urbData, 0, length);
            serveWaitingLocked();
        } else {
            waiting_.push_back({client, urbData}); // only the reply pipe answers
            if (ep == kReplyEp && answering_) serveWaitingLocked();
        }
        return done(0, 0);
    }
    case USBDEVFS_DISCARDURB: {
        unsigned long addr = 0;
        std::memcpy(&addr, arg->data, sizeof addr);
        auto it = std::find_if(waiting_.begin(), waiting_.end(), [&](const Pending& p) {
            return p.first == client && p.second->client_addr == addr;
        });
        if (it == waiting_.end()) return done(-1, EINVAL);
        finishLocked(client, it->second, -ENOENT, 0);
        waiting_.erase(it);
        return done(0, 0);
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        auto& q = reapable_[client];
        if (q.empty()) return done(-1, EAGAIN);
        const Data urbData(q.front()), slot = Resolve(arg, 0, sizeof(void*));
        q.pop_front();
        umockdev_ioctl_data_set_ptr(slot.get(), 0, urbData.get());
        return done(0, 0);
    }
    default:
        return done(-1, ENOTTY);
    }
}

// ---- the testbed -------------------------------------------------------------

UsbTestbed::UsbTestbed() : bed_(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    root_ = root;
    g_free(root);
}

UsbTestbed::~UsbTestbed() {
    for (auto& a : adapters_) detach(*a);
    g_object_unref(bed_);
}

// A USB device in sysfs at the next address of its bus, below hubs made as needed.
std::string UsbTestbed::addDevice(uint8_t bus, const std::vector<uint8_t>& ports, bool highSpeed,
                                  const std::vector<uint8_t>& descriptors, std::string* devNode) {
    std::string parent;
    if (!ports.empty()) {
        const std::vector<uint8_t> up(ports.begin(), ports.end() - 1);
        const std::string hub = SysName(bus, up);
        if (hubs_.count(hub) == 0)
            hubs_[hub] = addDevice(bus, up, true,
                                   AdapterDescriptors({.vendor = 0x1D6B, .product = 2}), nullptr);
        parent = hubs_[hub];
    }
    const int address = ++nextAddress_[bus];
    const std::string node = "/dev/bus/usb/" + Three(bus) + "/" + Three(address);
    if (devNode != nullptr) *devNode = node;
    const std::string dev = "189:" + std::to_string((bus - 1) * 128 + address - 1) + "\n",
                      busnum = std::to_string(bus) + "\n", devnum = std::to_string(address) + "\n";
    gchar* sys = umockdev_testbed_add_device(
        bed_, "usb", SysName(bus, ports).c_str(), parent.empty() ? nullptr : parent.c_str(),
        "busnum", busnum.c_str(), "devnum", devnum.c_str(), "speed", highSpeed ? "480\n" : "12\n",
        "bConfigurationValue", "1\n", "dev", dev.c_str(), nullptr, "DEVTYPE", "usb_device",
        "DEVNAME", node.c_str(), "BUSNUM", Three(bus).c_str(), "DEVNUM", Three(address).c_str(),
        nullptr);
    if (sys == nullptr) throw std::runtime_error("umockdev refused device " + SysName(bus, ports));
    umockdev_testbed_set_attribute_binary(bed_, sys, "descriptors",
                                          const_cast<uint8_t*>(descriptors.data()),
                                          static_cast<gint>(descriptors.size()));
    const std::string path = sys;
    g_free(sys);
    return path;
}

void UsbTestbed::attach(EmulatedAdapter& a) {
    const AdapterSetup& s = a.setup_;
    a.sysPath_ = addDevice(s.bus, s.ports, s.maxPacket > 64, AdapterDescriptors(s), &a.devNode_);
    // umockdev does not create the node file itself for a usb device; the preload
    // library needs one to divert the open to the emulation.
    const std::string file = root_ + a.devNode_;
    g_mkdir_with_parents(std::string(file, 0, file.rfind('/')).c_str(), 0755);
    g_file_set_contents(file.c_str(), "", 0, nullptr);
    a.handler_ = umockdev_ioctl_base_new();
    using Base = UMockdevIoctlBase;
    using Client = UMockdevIoctlClient;
    g_signal_connect(a.handler_, "handle-ioctl", G_CALLBACK(+[](Base*, Client* c, gpointer p) {
                         static_cast<EmulatedAdapter*>(p)->handleIoctl(c);
                         return gboolean{TRUE};
                     }),
                     &a);
    g_signal_connect(a.handler_, "client-connected", G_CALLBACK(+[](Base*, Client*, gpointer p) {
                         auto* ad = static_cast<EmulatedAdapter*>(p);
                         std::lock_guard l(ad->mu_);
                         ++ad->opens_;
                     }),
                     &a);
    g_signal_connect(a.handler_, "client-vanished", G_CALLBACK(+[](Base*, Client* c, gpointer p) {
                         static_cast<EmulatedAdapter*>(p)->vanished(c);
                     }),
                     &a);
    if (!umockdev_testbed_attach_ioctl(bed_, a.devNode_.c_str(), a.handler_, nullptr))
        throw std::runtime_error("cannot attach the usbfs emulation to " + a.devNode_);
    umockdev_testbed_uevent(bed_, a.sysPath_.c_str(), "add");
}

void UsbTestbed::detach(EmulatedAdapter& a) {
    if (a.handler_ == nullptr) return;
    umockdev_testbed_detach_ioctl(bed_, a.devNode_.c_str(), nullptr);
    g_object_unref(a.handler_);
    a.handler_ = nullptr;
}

EmulatedAdapter& UsbTestbed::plug(AdapterSetup setup) {
    EmulatedAdapter& a =
        *adapters_.emplace_back(std::make_unique<EmulatedAdapter>(std::move(setup)));
    attach(a);
    return a;
}

void UsbTestbed::unplug(EmulatedAdapter& a) {
    a.set(&EmulatedAdapter::plugged_, false);
    umockdev_testbed_uevent(bed_, a.sysPath_.c_str(), "remove");
    umockdev_testbed_remove_device(bed_, a.sysPath_.c_str());
    detach(a);
    g_unlink((root_ + a.devNode_).c_str());
    a.sysPath_.clear();
}

void UsbTestbed::replug(EmulatedAdapter& a) {
    {
        std::lock_guard l(a.mu_);
        a.plugged_ = true;
        a.reply_.clear();
    }
    attach(a);
}

} // namespace tavrin::test
