#pragma once
// A simulated sensor behind the adapter's SPI port: a register file of byte addresses
// 0x00..0x7F (16-bit registers low byte first), the frame protocol of the real part, and
// outputs that move like a sensor lying still on a bench.
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "sim/SimNoise.h"

namespace tavrin::sim {

class SimSensor {
  public:
    // Byte addresses of the registers the simulator gives behaviour to.
    static constexpr int kFlashCount = 0x00, kSupply = 0x02, kXGyro = 0x04, kYGyro = 0x06,
                         kZGyro = 0x08, kXAccl = 0x0A, kYAccl = 0x0C, kZAccl = 0x0E, kXTemp = 0x10,
                         kYTemp = 0x12, kZTemp = 0x14, kAuxAdc = 0x16, kXGyroOff = 0x1A,
                         kXAcclOff = 0x20, kSmplPrd = 0x36, kSensAvg = 0x38, kDiagStat = 0x3C,
                         kGlobCmd = 0x3E, kLotId1 = 0x52, kLotId2 = 0x54, kProdId = 0x56,
                         kSerialNum = 0x58;
    static constexpr uint16_t kNewData = 0x8000, kErrorFlag = 0x4000;
    static constexpr uint8_t kFlashUpdate = 0x08;   // GLOB_CMD bit that saves to flash
    static constexpr int64_t kTransferMicros = 250; // virtual time one adapter transfer takes

    // `model` is what PROD_ID reports and picks the output scales; with `deterministic`
    // the sample clock runs on a virtual clock that the adapter moves with each transfer.
    SimSensor(float model, bool deterministic, uint64_t seed, const NoiseModel& noise = {});

    // One 16-bit frame: returns the word clocked out during it, which answers the read
    // request of the previous frame.
    uint16_t frame(uint16_t mosi);
    // Called once per adapter transfer: moves the clock and makes a new sample when due.
    void tick();
    // The same with the virtual clock moved by `micros` (the adapter's USB time).
    void tick(int64_t micros);

    // The register word whose low byte is at `addr` (even addresses), as the register
    // file holds it now; no side effect on the new-data bits.
    uint16_t word(int addr) const;
    // Puts a word into the register file. Outputs are overwritten by the next sample;
    // use hold() to pin one.
    void setWord(int addr, uint16_t w);
    // Pins a register: every read returns exactly `w` until release().
    void hold(int addr, uint16_t w);
    void release(int addr);
    void raiseStatus(uint16_t bits);
    void clearStatus(uint16_t bits);
    int flashCount() const { return word(kFlashCount); }

    // Samples the sample clock has produced, and how many of them had at least
    // `outputs` of their outputs read while new (new-data bit set).
    long long samplesMade() const { return samplesMade_; }
    long long samplesCaught(int outputs = 1) const;

    float model() const { return model_; }
    // Seconds on the sample clock since the sensor was made.
    double now() const { return static_cast<double>(nowUs_) * 1e-6; }
    // Engineering units per output count for this model, as the program is expected
    // to apply them (gyroscopes at range code 4).
    double gyroBaseScale() const { return gyroBase_; }
    double acclScale() const { return acclLsb_; }
    static constexpr double kTempScale = 0.136, kTempOffset = 25.0, kSupplyScale = 0.002418,
                            kAuxScale = 0.0008058;

  private:
    void newSample();
    void writeByte(int addr, uint8_t value);
    uint16_t readWord(int addr);
    void put(int addr, uint16_t w);
    double gauss();
    double driftGauss();
    static double Gauss(uint64_t& state);
    int64_t samplePeriodUs() const;
    bool isOutput(int addr) const { return addr >= kSupply && addr <= kAuxAdc; }

    float model_;
    bool deterministic_;
    double gyroBase_;
    double acclLsb_;
    uint64_t rng_;
    uint64_t driftRng_; // its own stream: the other outputs draw as they always did
    NoiseModel noise_;
    std::vector<AxisDrift> drift_; // gyroscopes x, y, z, then accelerometers
    std::array<uint8_t, 128> bytes_{};
    std::array<uint16_t, 64> held_{};
    std::bitset<64> isHeld_;
    uint16_t pendingOut_ = 0;
    int64_t nowUs_ = 0;
    int64_t nextSampleUs_ = 0;
    int64_t startNs_ = 0; // steady clock at construction, for the real-time clock

    // Counted from the one made at construction; caught_[n]: earlier samples with at
    // least n outputs read while new; newReads_: those of the current sample.
    long long samplesMade_ = 1;
    std::array<long long, 17> caught_{};
    int newReads_ = 0;
};

} // namespace tavrin::sim
