#include "sim/SimSensor.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tavrin::sim {

namespace {

struct ModelScales {
    double gyroBase; // deg/s per count at range code 4
    double accl;     // g per count
};

// The scales the program applies for each model; an unknown model gets the common ones.
ModelScales ScalesFor(float model) {
    if (model == 41190.0f) return {0.2, 0.003333};
    if (model == 41140.0f) return {0.05, 0.000333};
    if (model == 41040.0f || model == 41160.0f) return {0.05, 0.001};
    return {0.05, 0.003333};
}

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t SignExtend(uint16_t w, int bits) {
    const int32_t sign = 1 << (bits - 1);
    return (w & (sign - 1)) - (w & sign);
}

// Rounds to counts and packs into a `bits`-wide two's-complement field, saturating.
uint16_t Signed(double value, int bits) {
    const double lim = std::ldexp(1.0, bits - 1);
    const double c = std::clamp(std::nearbyint(value), -lim, lim - 1);
    return static_cast<uint16_t>(static_cast<int32_t>(c) & ((1 << bits) - 1));
}

uint16_t Unsigned(double value, int bits) {
    const double c = std::clamp(std::nearbyint(value), 0.0, std::ldexp(1.0, bits) - 1);
    return static_cast<uint16_t>(c);
}

} // namespace

SimSensor::SimSensor(float model, bool deterministic, uint64_t seed, const NoiseModel& noise)
    : model_(model), deterministic_(deterministic), noise_(noise) {
    const ModelScales s = ScalesFor(model);
    gyroBase_ = s.gyroBase;
    acclLsb_ = s.accl;
    // splitmix64 step so that small or zero seeds still give a well-mixed state.
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    rng_ = (z ^ (z >> 31)) | 1;
    z = seed ^ 0xD1B54A32D192ED03ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    driftRng_ = (z ^ (z >> 31)) | 1;
    for (int i = 0; i < 6; ++i) {
        drift_.emplace_back(i < 3 ? noise.gyro : noise.accl);
        drift_.back().start([this] { return driftGauss(); });
    }
    startNs_ = deterministic ? 0 : SteadyNs();

    put(kFlashCount, 0x0011);
    put(kSmplPrd, 0x0001);
    put(kSensAvg, 0x0402);
    put(0x34, 0x0006); // MSC_CTRL
    put(kLotId1, 0x3A41);
    put(kLotId2, 0x0C15);
    const float m = std::clamp(model, 0.0f, 65535.0f);
    put(kProdId, static_cast<uint16_t>(m));
    put(kSerialNum, static_cast<uint16_t>(0x0100 + (seed & 0xFF)));
    newSample();
    nextSampleUs_ = samplePeriodUs();
}

double SimSensor::Gauss(uint64_t& state) {
    // Sum of four uniforms: close enough to a normal for noise, and cheap.
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        sum += static_cast<double>((state * 0x2545F4914F6CDD1Dull) >> 11) * 0x1.0p-53;
    }
    return (sum - 2.0) * 1.7320508075688772;
}

double SimSensor::gauss() {
    return Gauss(rng_);
}

double SimSensor::driftGauss() {
    return Gauss(driftRng_);
}

int64_t SimSensor::samplePeriodUs() const {
    return ((word(kSmplPrd) & 0xFF) + 1) * 500;
}

void SimSensor::tick() {
    tick(kTransferMicros);
}

void SimSensor::tick(int64_t micros) {
    if (deterministic_)
        nowUs_ += micros;
    else
        nowUs_ = (SteadyNs() - startNs_) / 1000;
    if (nowUs_ < nextSampleUs_) return;
    // Samples due while nobody asked are made all the same: they count as missed. Only
    // the latest reaches the register file.
    const int64_t period = samplePeriodUs();
    const int64_t due = (nowUs_ - nextSampleUs_) / period + 1;
    samplesMade_ += due;
    for (int n = 1; n <= newReads_; ++n) ++caught_[n];
    newReads_ = 0;
    newSample();
    nextSampleUs_ += due * period;
}

void SimSensor::newSample() {
    const uint16_t flags = kNewData | (word(kDiagStat) != 0 ? kErrorFlag : 0);
    const int code = (word(kSensAvg) >> 8) & 7;
    const double gyroLsb = gyroBase_ / (code == 2 ? 2.0 : code == 1 ? 4.0 : 1.0);
    // The period this sample closes; the first sample's noise is that of one period too.
    const double dt = static_cast<double>(samplePeriodUs()) * 1e-6;
    const double gyroWhite = noise_.gyro.randomWalk / std::sqrt(dt);
    const double acclWhite = noise_.accl.randomWalk / std::sqrt(dt);
    auto biasDrift = [&](int axis) {
        return drift_[axis].step(dt, [this] { return driftGauss(); });
    };
    for (int i = 0; i < 3; ++i) {
        const double offset = SignExtend(word(kXGyroOff + 2 * i), 13) * gyroBase_ / 4;
        const double rate = gyroWhite * gauss() + biasDrift(i) + offset;
        put(kXGyro + 2 * i, Signed(rate / gyroLsb, 14) | flags);
    }
    for (int i = 0; i < 3; ++i) {
        const double offset = SignExtend(word(kXAcclOff + 2 * i), 12) * acclLsb_;
        const double g = (i == 2 ? 1.0 : 0.0) + acclWhite * gauss() + biasDrift(3 + i) + offset;
        put(kXAccl + 2 * i, Signed(g / acclLsb_, 14) | flags);
    }
    // Warms and cools by a fraction of a degree over ten minutes.
    const double t = now();
    const double drift = 0.4 * std::sin(t * (2 * 3.141592653589793 / 600.0));
    for (int i = 0; i < 3; ++i) {
        const double temp = kTempOffset + drift + 0.05 * i + 0.02 * gauss();
        put(kXTemp + 2 * i, Signed((temp - kTempOffset) / kTempScale, 12) | flags);
    }
    put(kSupply, Unsigned((5.0 + 0.003 * gauss()) / kSupplyScale, 12) | flags);
    put(kAuxAdc, Unsigned((0.25 + 0.001 * gauss()) / kAuxScale, 12) | flags);
}

long long SimSensor::samplesCaught(int outputs) const {
    if (outputs < 1 || outputs >= static_cast<int>(caught_.size())) return 0;
    return caught_[outputs] + (newReads_ >= outputs ? 1 : 0);
}

uint16_t SimSensor::frame(uint16_t mosi) {
    const uint16_t out = pendingOut_;
    const int addr = (mosi >> 8) & 0x7F;
    if (mosi & 0x8000) {
        writeByte(addr, static_cast<uint8_t>(mosi & 0xFF));
        pendingOut_ = 0;
    } else {
        pendingOut_ = readWord(addr);
    }
    return out;
}

uint16_t SimSensor::readWord(int addr) {
    const int a = addr & 0x7E;
    if (isHeld_[a / 2]) return held_[a / 2];
    const uint16_t w = word(a);
    // Reading an output consumes its new-data flag.
    if (isOutput(a) && (w & kNewData)) {
        bytes_[a + 1] &= 0x7F;
        ++newReads_; // once per output: the bit stays clear until the next sample
    }
    return w;
}

void SimSensor::writeByte(int addr, uint8_t value) {
    if (addr == kGlobCmd) {
        if (value & kFlashUpdate) put(kFlashCount, static_cast<uint16_t>(word(kFlashCount) + 1));
        return; // commands act and read back as 0
    }
    // Calibration, alarm, control and sleep registers take writes; the rest is read-only.
    if (addr >= kXGyroOff && addr <= 0x3B) bytes_[addr] = value;
}

uint16_t SimSensor::word(int addr) const {
    const int a = addr & 0x7E;
    return static_cast<uint16_t>(bytes_[a] | (bytes_[a + 1] << 8));
}

void SimSensor::put(int addr, uint16_t w) {
    const int a = addr & 0x7E;
    bytes_[a] = static_cast<uint8_t>(w & 0xFF);
    bytes_[a + 1] = static_cast<uint8_t>(w >> 8);
}

void SimSensor::setWord(int addr, uint16_t w) {
    put(addr, w);
}

void SimSensor::hold(int addr, uint16_t w) {
    const int a = (addr & 0x7E) / 2;
    held_[a] = w;
    isHeld_[a] = true;
}

void SimSensor::release(int addr) {
    isHeld_[(addr & 0x7E) / 2] = false;
}

void SimSensor::raiseStatus(uint16_t bits) {
    put(kDiagStat, static_cast<uint16_t>(word(kDiagStat) | bits));
}

void SimSensor::clearStatus(uint16_t bits) {
    put(kDiagStat, static_cast<uint16_t>(word(kDiagStat) & ~bits));
}

} // namespace tavrin::sim
