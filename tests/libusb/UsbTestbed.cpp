#include "UsbTestbed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <dirent.h>
#include <glib/gstdio.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <umockdev.h>
#include <unistd.h>

namespace tavrin::test {
namespace {

constexpr uint8_t kCommandEp = 0x01, kReplyEp = 0x81;

std::vector<uint8_t> AdapterDescriptors(const AdapterSetup& s) {
    const uint8_t lo = static_cast<uint8_t>(s.maxPacket & 0xFF);
    const uint8_t hi = static_cast<uint8_t>(s.maxPacket >> 8);
    std::vector<uint8_t> d = {
        18, 1, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 64, static_cast<uint8_t>(s.vendor & 0xFF),
        static_cast<uint8_t>(s.vendor >> 8), static_cast<uint8_t>(s.product & 0xFF),
        static_cast<uint8_t>(s.product >> 8), 0x01, 0x00, 1, 2, 0, 1,
        // configuration 1, one interface with four bulk endpoints
        9, 2, 46, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 4, 0xFF, 0xFF, 0xFF, 0, 7, 5, 0x01, 2, lo, hi,
        0, 7, 5, 0x81, 2, lo, hi, 0, 7, 5, 0x02, 2, lo, hi, 0, 7, 5, 0x86, 2, lo, hi, 0};
    return d;
}

std::vector<uint8_t> HubDescriptors() {
    return {18, 1, 0x00, 0x02, 9, 0,  1, 64, 0x6B, 0x1D, 0x02, 0x00, 0x00, 0x01, 0,
            0,  0, 1,    9,    2, 25, 0, 1,  1,    0,    0xE0, 0,    9,    4,    0,
            0,  1, 9,    0,    0, 0,  7, 5,  0x81, 3,    4,    0,    12};
}

std::string SysName(uint8_t bus, const std::vector<uint8_t>& ports) {
    if (ports.empty()) return "usb" + std::to_string(bus);
    std::string n = std::to_string(bus) + "-";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (i > 0) n += ".";
        n += std::to_string(ports[i]);
    }
    return n;
}

std::string DevNode(uint8_t bus, int address) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "/dev/bus/usb/%03u/%03d", bus, address);
    return buf;
}

std::string AddUsbDevice(UMockdevTestbed* bed, const std::string& name, const std::string& parent,
                         uint8_t bus, int address, const std::string& speed,
                         const std::vector<uint8_t>& descriptors) {
    const std::string busText = std::to_string(bus) + "\n";
    const std::string addrText = std::to_string(address) + "\n";
    const std::string dev = "189:" + std::to_string((bus - 1) * 128 + address - 1) + "\n";
    const std::string node = DevNode(bus, address);
    char busP[16], addrP[16];
    std::snprintf(busP, sizeof busP, "%03u", bus);
    std::snprintf(addrP, sizeof addrP, "%03d", address);
    const std::string speedText = speed + "\n";
    const gchar* attrs[] = {"busnum",
                            busText.c_str(),
                            "devnum",
                            addrText.c_str(),
                            "speed",
                            speedText.c_str(),
                            "bConfigurationValue",
                            "1\n",
                            "dev",
                            dev.c_str(),
                            nullptr};
    const gchar* props[] = {"DEVTYPE", "usb_device", "DEVNAME", node.c_str(), "BUSNUM",
                            busP,      "DEVNUM",     addrP,     nullptr};
    gchar* sys = umockdev_testbed_add_devicev(
        bed, "usb", name.c_str(), parent.empty() ? nullptr : parent.c_str(),
        const_cast<gchar**>(attrs), const_cast<gchar**>(props));
    if (sys == nullptr) throw std::runtime_error("umockdev refused device " + name);
    std::vector<uint8_t> copy = descriptors;
    umockdev_testbed_set_attribute_binary(bed, sys, "descriptors", copy.data(),
                                          static_cast<gint>(copy.size()));
    std::string path = sys;
    g_free(sys);
    return path;
}

} // namespace

// ---- the adapter -------------------------------------------------------------

void EmulatedAdapter::setWord(uint8_t address, uint16_t w) {
    std::lock_guard l(mu_);
    const uint8_t a = address & 0x7E;
    mem_[a] = static_cast<uint8_t>(w & 0xFF);
    mem_[a + 1] = static_cast<uint8_t>(w >> 8);
}

uint16_t EmulatedAdapter::word(uint8_t address) const {
    std::lock_guard l(mu_);
    const uint8_t a = address & 0x7E;
    return static_cast<uint16_t>(mem_[a] | (mem_[a + 1] << 8));
}

void EmulatedAdapter::injectFault(UrbFault f) {
    std::lock_guard l(mu_);
    faults_.push_back(f);
}
void EmulatedAdapter::setAnswering(bool on) {
    std::lock_guard l(mu_);
    answering_ = on;
}
void EmulatedAdapter::setBusy(bool on) {
    std::lock_guard l(mu_);
    busy_ = on;
}
void EmulatedAdapter::setCommandLog(bool on) {
    std::lock_guard l(mu_);
    logging_ = on;
}
std::vector<std::vector<uint8_t>> EmulatedAdapter::commands() const {
    std::lock_guard l(mu_);
    return commands_;
}
int EmulatedAdapter::opens() const {
    std::lock_guard l(mu_);
    return opens_;
}
int EmulatedAdapter::claims() const {
    std::lock_guard l(mu_);
    return claims_;
}
int EmulatedAdapter::haltsCleared() const {
    std::lock_guard l(mu_);
    return halts_;
}
uint8_t EmulatedAdapter::spiSetup() const {
    std::lock_guard l(mu_);
    return spiSetup_;
}
uint8_t EmulatedAdapter::spiBits() const {
    std::lock_guard l(mu_);
    return spiBits_;
}
std::vector<uint16_t> EmulatedAdapter::langIdsAsked() const {
    std::lock_guard l(mu_);
    return langIds_;
}

void EmulatedAdapter::connected() {
    std::lock_guard l(mu_);
    ++opens_;
}

void EmulatedAdapter::vanished(UMockdevIoctlClient* client) {
    std::lock_guard l(mu_);
    for (UMockdevIoctlData* d : reapable_[client]) g_object_unref(d);
    reapable_.erase(client);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->client == client) {
            g_object_unref(it->urb);
            it = waiting_.erase(it);
        } else {
            ++it;
        }
    }
}

// The adapter's command protocol, on the command endpoint.
void EmulatedAdapter::command(const uint8_t* p, std::size_t n) {
    if (logging_) commands_.emplace_back(p, p + n);
    if (n == 0) return;
    switch (p[0]) {
    case 0x00:
        reply_.push_back(setup_.revMajor);
        reply_.push_back(setup_.revMinor);
        break;
    case 0x0B:
        if (n >= 2) spiSetup_ = p[1];
        break;
    case 0x0C:
        if (n >= 2) spiBits_ = p[1];
        break;
    case 0x0D:
    case 0x0E: {
        if (n < 3) break;
        const std::size_t frames = std::min<std::size_t>(p[2], (n - 3) / 2);
        for (std::size_t i = 0; i < frames; ++i) {
            const uint16_t f = static_cast<uint16_t>((p[3 + 2 * i] << 8) | p[4 + 2 * i]);
            const uint16_t out = latch_;
            const uint8_t addr = (f >> 8) & 0x7F;
            if (f & 0x8000) {
                mem_[addr] = static_cast<uint8_t>(f & 0xFF);
                latch_ = 0;
            } else {
                const uint8_t a = addr & 0x7E;
                latch_ = static_cast<uint16_t>(mem_[a] | (mem_[a + 1] << 8));
            }
            reply_.push_back(static_cast<uint8_t>(out >> 8));
            reply_.push_back(static_cast<uint8_t>(out & 0xFF));
        }
        break;
    }
    default:
        break;
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
        Pending p = waiting_.front();
        waiting_.pop_front();
        auto* urb = reinterpret_cast<usbdevfs_urb*>(p.urb->data);
        UMockdevIoctlData* buf = umockdev_ioctl_data_resolve(
            p.urb, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
        int n = 0;
        while (buf != nullptr && n < urb->buffer_length && !reply_.empty()) {
            buf->data[n++] = reply_.front();
            reply_.pop_front();
        }
        if (buf != nullptr) g_object_unref(buf);
        finishLocked(p.client, p.urb, 0, n);
    }
}

// A control request on endpoint 0: only string descriptors are asked for.
int EmulatedAdapter::controlLocked(uint8_t* b, int bufferLength) {
    if (bufferLength < 8) return -EINVAL;
    const uint8_t type = b[0], request = b[1], index = b[2], kind = b[3];
    const uint16_t wIndex = static_cast<uint16_t>(b[4] | (b[5] << 8));
    const int wLength = b[6] | (b[7] << 8);
    if (type != 0x80 || request != 6 || kind != 3) return -EPIPE;
    langIds_.push_back(wIndex);
    std::vector<uint8_t> d;
    if (index == 0) {
        d = {4, 3, static_cast<uint8_t>(setup_.langId & 0xFF),
             static_cast<uint8_t>(setup_.langId >> 8)};
    } else if (index == 1 || index == 2) {
        const std::string& text = index == 1 ? setup_.descriptor1 : setup_.descriptor2;
        d = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
        for (char c : text) {
            d.push_back(static_cast<uint8_t>(c));
            d.push_back(0);
        }
    } else {
        return -EPIPE;
    }
    const int n = std::min({wLength, bufferLength - 8, static_cast<int>(d.size())});
    std::memcpy(b + 8, d.data(), static_cast<std::size_t>(n));
    return n;
}

bool EmulatedAdapter::handleIoctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard l(mu_);
    const auto done = [&](long result, int err) {
        umockdev_ioctl_client_complete(client, result, err);
        return true;
    };
    if (!plugged_) return done(-1, ENODEV);

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
        const uint32_t v = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        std::memcpy(caps->data, &v, sizeof v);
        g_object_unref(caps);
        return done(0, 0);
    }
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_CLAIMINTERFACE:
        if (busy_) return done(-1, EBUSY);
        ++claims_;
        return done(0, 0);
    case USBDEVFS_RELEASEINTERFACE:
        return done(0, 0);
    case USBDEVFS_CLEAR_HALT: {
        UMockdevIoctlData* ep = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
        unsigned e = 0;
        std::memcpy(&e, ep->data, sizeof e);
        g_object_unref(ep);
        halted_.erase(static_cast<uint8_t>(e));
        ++halts_;
        return done(0, 0);
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        return done(-1, ENODATA); // no kernel driver bound
    case USBDEVFS_SUBMITURB: {
        UMockdevIoctlData* urbData =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        UMockdevIoctlData* buf =
            urb->buffer_length > 0
                ? umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                              static_cast<gsize>(urb->buffer_length), nullptr)
                : nullptr;
        uint8_t* bytes = buf != nullptr ? buf->data : nullptr;
        const uint8_t ep = urb->endpoint;

        auto fault = std::find_if(faults_.begin(), faults_.end(),
                                  [&](const UrbFault& f) { return f.endpoint == ep; });
        if (halted_.count(ep) != 0) {
            finishLocked(client, urbData, -EPIPE, 0);
        } else if (fault != faults_.end()) {
            const int status = fault->status;
            faults_.erase(fault);
            if (status == -EPIPE) halted_.insert(ep);
            if (ep == kReplyEp) reply_.clear(); // a garbled reply is lost
            finishLocked(client, urbData, status, 0);
        } else if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            const int n = controlLocked(bytes, urb->buffer_length);
            finishLocked(client, urbData, n < 0 ? n : 0, n < 0 ? 0 : n);
        } else if (ep == kCommandEp) {
            command(bytes, static_cast<std::size_t>(urb->buffer_length));
            finishLocked(client, urbData, 0, urb->buffer_length);
            serveWaitingLocked();
        } else if (ep == kReplyEp) {
            waiting_.push_back({client, urbData});
            if (answering_) serveWaitingLocked();
        } else if ((ep & 0x80) == 0) {
            finishLocked(client, urbData, 0, urb->buffer_length); // other out pipes swallow
        } else {
            waiting_.push_back({client, urbData}); // other in pipes never answer
        }
        if (buf != nullptr) g_object_unref(buf);
        return done(0, 0);
    }
    case USBDEVFS_DISCARDURB: {
        unsigned long addr = 0;
        std::memcpy(&addr, arg->data, sizeof addr);
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if (it->client == client && it->urb->client_addr == addr) {
                Pending p = *it;
                waiting_.erase(it);
                finishLocked(p.client, p.urb, -ENOENT, 0);
                return done(0, 0);
            }
        }
        return done(-1, EINVAL);
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        auto& q = reapable_[client];
        if (q.empty()) return done(-1, EAGAIN);
        UMockdevIoctlData* urbData = q.front();
        q.pop_front();
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, urbData);
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(slot);
        g_object_unref(urbData);
        return true;
    }
    default:
        return done(-1, ENOTTY);
    }
}

// ---- the testbed -------------------------------------------------------------

int UsbTestbed::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* adapter) {
    return static_cast<EmulatedAdapter*>(adapter)->handleIoctl(client) ? TRUE : FALSE;
}
void UsbTestbed::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, void* adapter) {
    static_cast<EmulatedAdapter*>(adapter)->connected();
}
void UsbTestbed::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* adapter) {
    static_cast<EmulatedAdapter*>(adapter)->vanished(client);
}

UsbTestbed::UsbTestbed() {
    bed_ = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    root_ = root;
    g_free(root);
}

UsbTestbed::~UsbTestbed() {
    for (Node& n : nodes_) detach(n);
    g_object_unref(bed_);
}

std::string UsbTestbed::nodeFile(const std::string& devNode) const {
    return root_ + devNode;
}

std::string UsbTestbed::ensureHub(uint8_t bus, const std::vector<uint8_t>& ports) {
    const std::string name = SysName(bus, ports);
    if (auto it = hubs_.find(name); it != hubs_.end()) return it->second;
    std::string parent;
    if (!ports.empty()) parent = ensureHub(bus, {ports.begin(), ports.end() - 1});
    const int address = ++nextAddress_[bus];
    const std::string sys = AddUsbDevice(bed_, name, parent, bus, address, "480", HubDescriptors());
    hubs_[name] = sys;
    return sys;
}

void UsbTestbed::attach(Node& n) {
    // umockdev does not create the node file itself for a usb device; the preload
    // library needs one to divert the open to the emulation.
    const std::string file = nodeFile(n.devNode);
    g_mkdir_with_parents(std::string(file, 0, file.rfind('/')).c_str(), 0755);
    g_file_set_contents(file.c_str(), "", 0, nullptr);
    n.handler = umockdev_ioctl_base_new();
    g_signal_connect(n.handler, "handle-ioctl", G_CALLBACK(OnIoctl), n.adapter.get());
    g_signal_connect(n.handler, "client-connected", G_CALLBACK(OnConnected), n.adapter.get());
    g_signal_connect(n.handler, "client-vanished", G_CALLBACK(OnVanished), n.adapter.get());
    GError* err = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed_, n.devNode.c_str(), n.handler, &err)) {
        std::string msg = err != nullptr ? err->message : "?";
        g_clear_error(&err);
        throw std::runtime_error("cannot attach the usbfs emulation: " + msg);
    }
}

void UsbTestbed::detach(Node& n) {
    if (n.handler == nullptr) return;
    umockdev_testbed_detach_ioctl(bed_, n.devNode.c_str(), nullptr);
    g_object_unref(n.handler);
    n.handler = nullptr;
}

EmulatedAdapter& UsbTestbed::plug(AdapterSetup setup) {
    Node n;
    const uint8_t bus = setup.bus;
    const std::vector<uint8_t> ports = setup.ports;
    n.adapter = std::make_unique<EmulatedAdapter>(std::move(setup));
    const std::string parent = ensureHub(bus, {ports.begin(), ports.end() - 1});
    const int address = ++nextAddress_[bus];
    n.devNode = DevNode(bus, address);
    n.pastNodes.push_back(n.devNode);
    n.sysPath = AddUsbDevice(bed_, SysName(bus, ports), parent, bus, address,
                             n.adapter->setup().maxPacket > 64 ? "480" : "12",
                             AdapterDescriptors(n.adapter->setup()));
    attach(n);
    umockdev_testbed_uevent(bed_, n.sysPath.c_str(), "add");
    nodes_.push_back(std::move(n));
    return *nodes_.back().adapter;
}

void UsbTestbed::unplug(EmulatedAdapter& a) {
    for (Node& n : nodes_) {
        if (n.adapter.get() != &a || n.sysPath.empty()) continue;
        {
            std::lock_guard l(a.mu_);
            a.setPluggedLocked(false);
        }
        umockdev_testbed_uevent(bed_, n.sysPath.c_str(), "remove");
        umockdev_testbed_remove_device(bed_, n.sysPath.c_str());
        detach(n);
        g_unlink(nodeFile(n.devNode).c_str());
        n.sysPath.clear();
    }
}

void UsbTestbed::replug(EmulatedAdapter& a) {
    for (Node& n : nodes_) {
        if (n.adapter.get() != &a || !n.sysPath.empty()) continue;
        const AdapterSetup& setup = a.setup();
        const std::string parent = ensureHub(setup.bus, {setup.ports.begin(), setup.ports.end() - 1});
        const int address = ++nextAddress_[setup.bus];
        n.devNode = DevNode(setup.bus, address);
        n.pastNodes.push_back(n.devNode);
        n.sysPath = AddUsbDevice(bed_, SysName(setup.bus, setup.ports), parent, setup.bus, address,
                                 setup.maxPacket > 64 ? "480" : "12", AdapterDescriptors(setup));
        {
            std::lock_guard l(a.mu_);
            a.setPluggedLocked(true);
            a.reply_.clear();
        }
        attach(n);
        umockdev_testbed_uevent(bed_, n.sysPath.c_str(), "add");
    }
}

void UsbTestbed::denyOpen(EmulatedAdapter& a) {
    for (Node& n : nodes_) {
        if (n.adapter.get() != &a) continue;
        const std::string file = nodeFile(n.devNode);
        if (geteuid() == 0) {
            g_unlink(file.c_str());
            g_mkdir(file.c_str(), 0755);
        } else {
            g_chmod(file.c_str(), 0);
        }
    }
}

void UsbTestbed::allowOpen(EmulatedAdapter& a) {
    for (Node& n : nodes_) {
        if (n.adapter.get() != &a) continue;
        const std::string file = nodeFile(n.devNode);
        g_rmdir(file.c_str());
        g_file_set_contents(file.c_str(), "", 0, nullptr);
        g_chmod(file.c_str(), 0644);
    }
}

// umockdev never reports a closed descriptor, so look at the process's own: each
// open of an emulated node is a socket connected to that node's emulation.
int UsbTestbed::descriptorsOpenOn(const EmulatedAdapter& a) const {
    const Node* node = nullptr;
    for (const Node& n : nodes_) {
        if (n.adapter.get() == &a) node = &n;
    }
    if (node == nullptr) return 0;
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (dirent* e = readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        if (e->d_name[0] == '.' || fd == dirfd(dir)) continue;
        sockaddr_un peer{};
        socklen_t len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0) continue;
        if (peer.sun_family != AF_UNIX) continue;
        const std::string path(peer.sun_path, strnlen(peer.sun_path, sizeof peer.sun_path));
        for (const std::string& dev : node->pastNodes) {
            if (path == root_ + "/ioctl" + dev) ++count;
        }
    }
    closedir(dir);
    return count;
}

} // namespace tavrin::test
