#include "sim/SimDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <stdexcept>
#include <thread>

namespace tavrin::sim {

struct SimDriver::Adapter {
    Adapter(const SimOptions& o) : options(o), sensor(o.model, o.deterministic, o.seed, o.noise) {}
    SimOptions options;
    SimSensor sensor;
    bool plugged = true;
    uint8_t setup = 0;
    uint8_t bits = 0;
    std::array<uint8_t, 32> reply{};
    std::size_t replyLen = 0;
    bool hasReply = false;
    std::vector<int> failingStrings;
    std::map<int, std::vector<uint8_t>> rawStrings;
    int64_t busNs = 0;    // USB time spent so far
    int64_t sensorUs = 0; // the part of it the sensor's clock has been moved by
};

namespace {

std::vector<uint8_t> Utf16Descriptor(const std::string& text) {
    std::vector<uint8_t> d;
    d.push_back(static_cast<uint8_t>(2 + 2 * text.size()));
    d.push_back(3);
    for (char c : text) {
        d.push_back(static_cast<uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

void CheckSlot(int slot) {
    if (slot < 0 || slot >= transport::ezusb::kSlots)
        throw std::out_of_range("simulated adapter slot");
}

} // namespace

SimDriver::SimDriver() = default;
SimDriver::~SimDriver() = default;

SimSensor& SimDriver::addAdapter(int slot, SimOptions options) {
    CheckSlot(slot);
    adapters_[slot] = std::make_unique<Adapter>(options);
    return adapters_[slot]->sensor;
}

SimSensor& SimDriver::sensor(int slot) {
    CheckSlot(slot);
    if (!adapters_[slot]) throw std::out_of_range("no simulated adapter in this slot");
    return adapters_[slot]->sensor;
}

bool SimDriver::hasAdapter(int slot) const {
    return slot >= 0 && slot < transport::ezusb::kSlots && adapters_[slot] != nullptr;
}

void SimDriver::unplug(int slot) {
    if (hasAdapter(slot)) adapters_[slot]->plugged = false;
}

void SimDriver::replug(int slot) {
    if (hasAdapter(slot)) adapters_[slot]->plugged = true;
}

void SimDriver::failRequest(uint32_t code, int nthCall) {
    faults_.push_back({code, -1, std::max(nthCall, 1), 0, false});
}

void SimDriver::failBulk(int pipe, int nthCall, int slot) {
    faults_.push_back(
        {transport::ezusb::kBulkTransfer, pipe, std::max(nthCall, 1), 0, false, slot});
}

void SimDriver::shortReply(int nthCall, uint32_t bytes) {
    faults_.push_back({transport::ezusb::kBulkTransfer, 1, std::max(nthCall, 1), bytes, true});
}

void SimDriver::failStringDescriptor(int slot, int index) {
    CheckSlot(slot);
    if (adapters_[slot]) adapters_[slot]->failingStrings.push_back(index);
}

void SimDriver::setStringDescriptor(int slot, int index, std::vector<uint8_t> raw) {
    CheckSlot(slot);
    if (adapters_[slot]) adapters_[slot]->rawStrings[index] = std::move(raw);
}

int64_t SimDriver::usbTimeNs(int slot) const {
    return hasAdapter(slot) ? adapters_[slot]->busNs : 0;
}

std::optional<double> SimDriver::clockSeconds(int slot) const {
    if (!hasAdapter(slot) || !adapters_[slot]->options.deterministic) return std::nullopt;
    return static_cast<double>(adapters_[slot]->busNs) * 1e-9;
}

void SimDriver::busTime(Adapter& a, std::size_t bytes) {
    // A bulk transfer waits for the next (micro)frame the host schedules, then its bytes
    // go at the bus rate.
    const int64_t frameNs = a.options.highSpeed ? 125'000 : 1'000'000;
    const int64_t nsPer3Bytes = a.options.highSpeed ? 50 : 2000; // 480 or 12 Mbit/s
    const int64_t bytesNs = (static_cast<int64_t>(bytes) * nsPer3Bytes + 2) / 3;
    if (a.options.deterministic) {
        if (a.options.usbTime) a.busNs = (a.busNs / frameNs + 1) * frameNs + bytesNs;
        return;
    }
    if (!a.options.realUsbTime) return;
    using Clock = std::chrono::steady_clock;
    const int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    const Clock::time_point done{std::chrono::nanoseconds((now / frameNs + 1) * frameNs + bytesNs)};
    // Sleep most of the way, then wait out the rest: a sleep alone overshoots a microframe.
    std::this_thread::sleep_until(done - std::chrono::microseconds(60));
    while (Clock::now() < done) {
    }
}

uint8_t SimDriver::spiSetup(int slot) const {
    return hasAdapter(slot) ? adapters_[slot]->setup : 0;
}
uint8_t SimDriver::spiBits(int slot) const {
    return hasAdapter(slot) ? adapters_[slot]->bits : 0;
}

transport::DriverHandle SimDriver::open(const std::string& deviceName) {
    std::string name = deviceName;
    if (name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    if (name.size() != 7 || name.compare(0, 6, "Ezusb-") != 0) return -1;
    const int slot = name[6] - '0';
    if (!hasAdapter(slot) || !adapters_[slot]->plugged) return -1;
    const transport::DriverHandle h = nextHandle_++;
    handles_.emplace_back(h, slot);
    ++totalOpens_;
    return h;
}

void SimDriver::close(transport::DriverHandle handle) {
    auto it = std::find_if(handles_.begin(), handles_.end(),
                           [&](const auto& e) { return e.first == handle; });
    if (it != handles_.end()) handles_.erase(it);
}

SimDriver::Adapter* SimDriver::adapterFor(transport::DriverHandle handle) {
    for (const auto& [h, slot] : handles_)
        if (h == handle) return adapters_[slot].get();
    return nullptr;
}

const SimDriver::Fault* SimDriver::takeFault(uint32_t code, int pipe, int slot) {
    if (faults_.empty()) return nullptr;
    bool fired = false;
    for (auto& f : faults_) {
        if (f.code != code || (f.pipe >= 0 && f.pipe != pipe) || (f.slot >= 0 && f.slot != slot))
            continue;
        if (--f.remaining == 0 && !fired) {
            fired_ = f;
            fired = true;
        }
    }
    std::erase_if(faults_, [](const Fault& f) { return f.remaining <= 0; });
    return fired ? &fired_ : nullptr;
}

std::vector<uint8_t> SimDriver::stringDescriptor(const Adapter& a, int index) const {
    if (auto it = a.rawStrings.find(index); it != a.rawStrings.end()) return it->second;
    switch (index) {
    case 0:
        return {4, 3, 0x09, 0x04}; // language: English (US)
    case 1:
        return Utf16Descriptor("Corvane");
    case 2:
        if (a.options.productId == transport::ezusb::kProductVorla)
            return Utf16Descriptor("VORLA USB-SPI");
        if (a.options.productId == transport::ezusb::kProductQeb)
            return Utf16Descriptor("QEB USB-SPI");
        return Utf16Descriptor("USB-SPI");
    default:
        return {};
    }
}

namespace {

// Copies what fits of a reply into the caller's buffer.
int Reply(const uint8_t* data, std::size_t size, uint8_t* out, std::size_t outLen,
          uint32_t& bytesReturned) {
    const std::size_t n = std::min(outLen, size);
    if (n) std::memcpy(out, data, n);
    bytesReturned = static_cast<uint32_t>(n);
    return 1;
}

std::array<uint8_t, 18> DeviceDescriptor(const SimOptions& o) {
    return {18,
            1,
            0x00,
            0x02,
            0xFF,
            0xFF,
            0xFF,
            64,
            static_cast<uint8_t>(o.vendorId & 0xFF),
            static_cast<uint8_t>(o.vendorId >> 8),
            static_cast<uint8_t>(o.productId & 0xFF),
            static_cast<uint8_t>(o.productId >> 8),
            0x00,
            0x01,
            1,
            2,
            0,
            1};
}

std::array<uint8_t, transport::ezusb::kPipeInfoSize> PipeInfo(bool highSpeed) {
    std::array<uint8_t, transport::ezusb::kPipeInfoSize> info{};
    const uint16_t maxPacket = highSpeed ? 512 : 64;
    constexpr int kPipes = 4; // bulk out, bulk in, and a second pair
    info[0] = static_cast<uint8_t>(transport::ezusb::kPipeInfoHeader +
                                   kPipes * transport::ezusb::kPipeEntrySize);
    info[12] = kPipes;
    const uint8_t endpoints[kPipes] = {0x01, 0x81, 0x02, 0x86};
    for (int i = 0; i < kPipes; ++i) {
        uint8_t* e =
            &info[transport::ezusb::kPipeInfoHeader + transport::ezusb::kPipeEntrySize * i];
        e[0] = static_cast<uint8_t>(maxPacket & 0xFF);
        e[1] = static_cast<uint8_t>(maxPacket >> 8);
        e[2] = endpoints[i];
        e[4] = 2; // bulk
    }
    return info;
}

} // namespace

int SimDriver::ioctl(transport::DriverHandle handle, uint32_t code, const uint8_t* in,
                     std::size_t inLen, uint8_t* out, std::size_t outLen, uint32_t& bytesReturned) {
    bytesReturned = 0;
    Adapter* a = adapterFor(handle);
    if (!a || !a->plugged) return 0;
    if (!out) outLen = 0;

    int pipe = -1;
    if (code == transport::ezusb::kBulkTransfer) {
        if (!in || inLen < 4) return 0;
        pipe = static_cast<int>(in[0] | (in[1] << 8) | (in[2] << 16) |
                                (static_cast<uint32_t>(in[3]) << 24));
    }
    int slot = -1;
    for (const auto& [h, k] : handles_)
        if (h == handle) slot = k;
    const Fault* fault = takeFault(code, pipe, slot);
    if (fault && !fault->isShort) return 0;

    switch (code) {
    case transport::ezusb::kGetDeviceDescriptor: {
        const auto d = DeviceDescriptor(a->options);
        return Reply(d.data(), d.size(), out, outLen, bytesReturned);
    }
    case transport::ezusb::kGetStringDescriptor: {
        if (!in || inLen < 1) return 0;
        const int index = in[0];
        if (std::find(a->failingStrings.begin(), a->failingStrings.end(), index) !=
            a->failingStrings.end())
            return 0;
        const std::vector<uint8_t> d = stringDescriptor(*a, index);
        if (d.empty()) return 0;
        return Reply(d.data(), d.size(), out, outLen, bytesReturned);
    }
    case transport::ezusb::kGetPipeInfo: {
        const auto info = PipeInfo(a->options.highSpeed);
        return Reply(info.data(), info.size(), out, outLen, bytesReturned);
    }
    case transport::ezusb::kBulkTransfer:
        return bulk(*a, pipe, fault, out, outLen, bytesReturned);
    default:
        return 0;
    }
}

int SimDriver::bulk(Adapter& a, int pipe, const Fault* fault, uint8_t* out, std::size_t outLen,
                    uint32_t& bytesReturned) {
    if (pipe == 0) {
        busTime(a, outLen);
        if (logCommands_) {
            commands_.emplace_back(out, out + outLen);
            if (commands_.size() > 1024) commands_.pop_front();
        }
        if (!command(a, out, outLen)) return 0;
        bytesReturned = static_cast<uint32_t>(outLen);
        return 1;
    }
    if (pipe != 1 || !a.hasReply) return 0;
    std::size_t n = std::min(outLen, a.replyLen);
    if (fault) n = std::min<std::size_t>(n, fault->shortBytes);
    busTime(a, n);
    a.hasReply = false;
    return Reply(a.reply.data(), n, out, outLen, bytesReturned);
}

int SimDriver::command(Adapter& a, const uint8_t* cmd, std::size_t len) {
    a.hasReply = false;
    if (!cmd || len < 1) return 0;
    switch (cmd[0]) {
    case 0x00:
        a.reply[0] = a.options.firmwareMajor;
        a.reply[1] = a.options.firmwareMinor;
        a.replyLen = 2;
        a.hasReply = true;
        return 1;
    case 0x0B:
        if (len < 2) return 0;
        a.setup = cmd[1];
        return 1;
    case 0x0C:
        if (len < 2) return 0;
        a.bits = cmd[1];
        return 1;
    case 0x0D:
    case 0x0E: {
        if (len < 3) return 0;
        const std::size_t n = cmd[2];
        if (n < 1 || n > 16 || len < 2 * n + 3) return 0;
        if (a.options.usbTime) {
            // The frames are clocked once the command has arrived.
            const int64_t us = a.busNs / 1000;
            a.sensor.tick(us - a.sensorUs);
            a.sensorUs = us;
        } else {
            a.sensor.tick();
        }
        for (std::size_t i = 0; i < n; ++i) {
            const auto mosi = static_cast<uint16_t>((cmd[3 + 2 * i] << 8) | cmd[4 + 2 * i]);
            const uint16_t w = a.sensor.frame(mosi);
            a.reply[2 * i] = static_cast<uint8_t>(w >> 8);
            a.reply[2 * i + 1] = static_cast<uint8_t>(w & 0xFF);
        }
        a.replyLen = 2 * n;
        a.hasReply = true;
        return 1;
    }
    default:
        return 0;
    }
}

} // namespace tavrin::sim
