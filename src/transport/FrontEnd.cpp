#include "transport/FrontEnd.h"

#include <algorithm>

#include "app/State.h"
#include "app/Timing.h"
#include "transport/UsbSpi.h"

namespace tavrin {

namespace {

void Transfer(App& app, uint8_t count) {
    app.usb.SpiXferParam = 1;
    UsbSpiTransfer(app, count);
}

// Fills the results from the word a read of `reg` brought back.
void TakeWord(App& app, const RegisterRecord& reg, int32_t word) {
    app.res.RegRaw = word;
    if (reg.NDflag) app.res.RegNDBit = static_cast<int32_t>(word & 0xFFFF8000u);
    app.res.RegValue = DecodeValue(reg, word);
    app.res.RegScaled = ScaleValue(reg, app.res.RegValue);
}

const RegisterRecord* Readable(const App& app, int16_t position) {
    const RegisterRecord* reg = app.regs.at(position);
    return reg && reg->ReadFlag ? reg : nullptr;
}

} // namespace

int32_t ReadRegisterWord(App& app, int16_t& address) {
    address = static_cast<int16_t>(address & 0x7F);
    if (app.model.InterfaceKind != InterfaceUsb) return 0;
    app.usb.SpiOutFrames[1] = address * 256;
    app.usb.SpiOutFrames[2] = address * 256;
    Transfer(app, 2);
    return app.usb.SpiInWords[2];
}

void ReadRegister(App& app, int16_t position) {
    const RegisterRecord* reg = Readable(app, position);
    if (!reg) return;
    auto address = static_cast<int16_t>(reg->Address);
    TakeWord(app, *reg, ReadRegisterWord(app, address));
}

void ReadRegisterBurst(App& app, std::span<const int16_t> positions, std::span<RegResults> out) {
    const std::size_t n = std::min(positions.size(), out.size());
    std::size_t first = 0;
    while (first < n) {
        // One command: the next kMaxBurst readable registers (and the unreadable ones
        // between them, which send nothing). Frame i asks for register i and the word
        // clocked back during frame i + 1 answers it; the last request goes twice.
        std::size_t last = first;
        int k = 0;
        for (; last < n; ++last) {
            const RegisterRecord* reg = Readable(app, positions[last]);
            if (!reg) continue;
            if (k == kMaxBurst) break;
            app.usb.SpiOutFrames[++k] = (reg->Address & 0x7F) * 256;
        }
        bool sent = false;
        if (k > 0 && app.model.InterfaceKind == InterfaceUsb) {
            app.usb.SpiOutFrames[k + 1] = app.usb.SpiOutFrames[k];
            // A skipped or failed transfer leaves the words as they were; every read
            // then gets the word a single read would get.
            sent = app.usb.UsbReady;
            Transfer(app, static_cast<uint8_t>(k + 1));
            sent = sent && app.usb.UsbReady;
        }
        int answer = 2;
        for (std::size_t i = first; i < last; ++i) {
            if (const RegisterRecord* reg = Readable(app, positions[i])) {
                int32_t word = 0;
                if (app.model.InterfaceKind == InterfaceUsb)
                    word = app.usb.SpiInWords[sent ? answer++ : 2];
                TakeWord(app, *reg, word);
            }
            out[i] = app.res;
        }
        first = last;
    }
}

void ReadRawRegister(App& app, int16_t address) {
    const int32_t word = ReadRegisterWord(app, address);
    app.res.RegRaw = word;
    app.res.RegValue = word & 0xFFFF;
    app.res.RegScaled = static_cast<float>(app.res.RegValue);
}

void WriteRegister(App& app, int16_t position, int32_t value) {
    const RegisterRecord* reg = app.regs.at(position);
    if (!reg) return;
    const auto a = static_cast<int16_t>(reg->Address);
    auto lo = static_cast<int16_t>(value & 0xFF);
    if (reg->ReadLen > 8) {
        auto hi = static_cast<int16_t>((value >> 8) & 0xFF);
        auto a0 = a;
        auto a1 = static_cast<int16_t>(a + 1);
        // This position is written low byte first; every other one high byte first.
        if (position == 35)
            WriteFramePair(app, a0, lo, a1, hi);
        else
            WriteFramePair(app, a1, hi, a0, lo);
        float wait = 0.1f;
        DelayMs(app, wait);
        if (position == app.regs.iSENS_AVG) UpdateGyroScale(app);
    } else {
        WriteFrame(app, a, lo);
    }
}

void WriteFramePair(App& app, int16_t& address1, int16_t& byte1, int16_t& address2,
                    int16_t& byte2) {
    byte1 = static_cast<int16_t>(byte1 & 0xFF);
    byte2 = static_cast<int16_t>(byte2 & 0xFF);
    address1 = static_cast<int16_t>(address1 & 0x7F);
    address2 = static_cast<int16_t>(address2 & 0x7F);
    if (app.model.InterfaceKind != InterfaceUsb) return;
    app.usb.SpiOutFrames[1] = 0x8000 + address1 * 256 + byte1;
    app.usb.SpiOutFrames[2] = 0x8000 + address2 * 256 + byte2;
    Transfer(app, 2);
}

void WriteFrame(App& app, int16_t address, int16_t byte) {
    if (app.model.InterfaceKind != InterfaceUsb) return;
    app.usb.SpiOutFrames[1] = 0x8000 + (address & 0x7F) * 256 + (byte & 0xFF);
    Transfer(app, 1);
}

void UpdateGyroScale(App& app) {
    ReadRegister(app, app.regs.iSENS_AVG);
    const int code = (app.res.RegValue & 0x700) / 256;
    const double base = app.model.GyroBaseScale;
    const double s = code == 4 ? base : code == 2 ? base / 2 : code == 1 ? base / 4 : 0.0;
    for (int p = 2; p <= 4; ++p) app.regs.RegisterTable[p].RegScale = static_cast<float>(s);
    app.plot.GyPlotMax = 350;
    app.plot.GyPlotMin = -350;
}

} // namespace tavrin
