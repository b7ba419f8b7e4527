#include "registers/FrontEnd.h"

#include <algorithm>

#include "base/Timing.h"
#include "registers/RegisterState.h"
#include "transport/UsbSpi.h"

namespace tavrin::registers {

namespace {

transport::Status Transfer(const RegisterAccess& io, uint8_t count) {
    io.link.usb.SpiXferParam = 1;
    return transport::UsbSpiTransfer(io.link, count);
}

// Fills the results from the word a read of `reg` brought back.
void TakeWord(const RegisterAccess& io, const RegisterRecord& reg, int32_t word) {
    io.res.RegRaw = word;
    if (reg.NDflag) io.res.RegNDBit = static_cast<int32_t>(word & 0xFFFF8000u);
    io.res.RegValue = DecodeValue(reg, word);
    io.res.RegScaled = ScaleValue(reg, io.res.RegValue);
}

const RegisterRecord* Readable(const RegisterAccess& io, int16_t position) {
    const RegisterRecord* reg = io.regs.at(position);
    return reg && reg->ReadFlag ? reg : nullptr;
}

} // namespace

Word ReadRegisterWord(const RegisterAccess& io, int16_t& address) {
    address = static_cast<int16_t>(address & 0x7F);
    if (io.link.usb.InterfaceKind != transport::InterfaceUsb) return {transport::Status::Skipped};
    io.link.usb.SpiOutFrames[1] = address * 256;
    io.link.usb.SpiOutFrames[2] = address * 256;
    const transport::Status status = Transfer(io, 2);
    return {status, io.link.usb.SpiInWords[2]};
}

Reading ReadRegister(const RegisterAccess& io, int16_t position) {
    const RegisterRecord* reg = Readable(io, position);
    if (!reg) return {transport::Status::Skipped, io.res};
    auto address = static_cast<int16_t>(reg->Address);
    const Word w = ReadRegisterWord(io, address);
    TakeWord(io, *reg, w.word);
    return {w.status, io.res};
}

transport::Status ReadRegisterBurst(const RegisterAccess& io, std::span<const int16_t> positions,
                                    std::span<RegResults> out) {
    transport::Status met = transport::Status::Ok;
    const std::size_t n = std::min(positions.size(), out.size());
    std::size_t first = 0;
    while (first < n) {
        // One command: the next kMaxBurst readable registers (and the unreadable ones
        // between them, which send nothing). Frame i asks for register i and the word
        // clocked back during frame i + 1 answers it; the last request goes twice.
        std::size_t last = first;
        int k = 0;
        for (; last < n; ++last) {
            const RegisterRecord* reg = Readable(io, positions[last]);
            if (!reg) continue;
            if (k == kMaxBurst) break;
            io.link.usb.SpiOutFrames[++k] = (reg->Address & 0x7F) * 256;
        }
        bool sent = false;
        if (k > 0 && io.link.usb.InterfaceKind == transport::InterfaceUsb) {
            io.link.usb.SpiOutFrames[k + 1] = io.link.usb.SpiOutFrames[k];
            // A skipped or failed transfer leaves the words as they were; every read
            // then gets the word a single read would get.
            const transport::Status status = Transfer(io, static_cast<uint8_t>(k + 1));
            sent = transport::Ok(status);
            if (met == transport::Status::Ok) met = status;
        }
        int answer = 2;
        for (std::size_t i = first; i < last; ++i) {
            if (const RegisterRecord* reg = Readable(io, positions[i])) {
                int32_t word = 0;
                if (io.link.usb.InterfaceKind == transport::InterfaceUsb)
                    word = io.link.usb.SpiInWords[sent ? answer++ : 2];
                TakeWord(io, *reg, word);
            }
            out[i] = io.res;
        }
        first = last;
    }
    return met;
}

Reading ReadRawRegister(const RegisterAccess& io, int16_t address) {
    const Word w = ReadRegisterWord(io, address);
    io.res.RegRaw = w.word;
    io.res.RegValue = w.word & 0xFFFF;
    io.res.RegScaled = static_cast<float>(io.res.RegValue);
    return {w.status, io.res};
}

Written WriteRegister(const RegisterAccess& io, int16_t position, int32_t value) {
    const RegisterRecord* reg = io.regs.at(position);
    if (!reg) return {transport::Status::Skipped};
    const auto a = static_cast<int16_t>(reg->Address);
    auto lo = static_cast<int16_t>(value & 0xFF);
    if (reg->ReadLen > 8) {
        auto hi = static_cast<int16_t>((value >> 8) & 0xFF);
        auto a0 = a;
        auto a1 = static_cast<int16_t>(a + 1);
        // This position is written low byte first; every other one high byte first.
        const transport::Status status = position == 35 ? WriteFramePair(io, a0, lo, a1, hi)
                                                        : WriteFramePair(io, a1, hi, a0, lo);
        float wait = 0.1f;
        base::DelayMs(io.wait, wait);
        if (position != io.regs.iSENS_AVG) return {status};
        const transport::Status range = UpdateGyroScale(io);
        return {transport::Broke(status) ? status : range, true};
    }
    return {WriteFrame(io, a, lo)};
}

transport::Status WriteFramePair(const RegisterAccess& io, int16_t& address1, int16_t& byte1,
                                 int16_t& address2, int16_t& byte2) {
    byte1 = static_cast<int16_t>(byte1 & 0xFF);
    byte2 = static_cast<int16_t>(byte2 & 0xFF);
    address1 = static_cast<int16_t>(address1 & 0x7F);
    address2 = static_cast<int16_t>(address2 & 0x7F);
    if (io.link.usb.InterfaceKind != transport::InterfaceUsb) return transport::Status::Skipped;
    io.link.usb.SpiOutFrames[1] = 0x8000 + address1 * 256 + byte1;
    io.link.usb.SpiOutFrames[2] = 0x8000 + address2 * 256 + byte2;
    return Transfer(io, 2);
}

transport::Status WriteFrame(const RegisterAccess& io, int16_t address, int16_t byte) {
    if (io.link.usb.InterfaceKind != transport::InterfaceUsb) return transport::Status::Skipped;
    io.link.usb.SpiOutFrames[1] = 0x8000 + (address & 0x7F) * 256 + (byte & 0xFF);
    return Transfer(io, 1);
}

transport::Status UpdateGyroScale(const RegisterAccess& io) {
    const Reading r = ReadRegister(io, io.regs.iSENS_AVG);
    const int code = (r.res.RegValue & 0x700) / 256;
    const double base = io.model.GyroBaseScale;
    const double s = code == 4 ? base : code == 2 ? base / 2 : code == 1 ? base / 4 : 0.0;
    for (int p = 2; p <= 4; ++p) io.regs.RegisterTable[p].RegScale = static_cast<float>(s);
    return r.status;
}

} // namespace tavrin::registers
