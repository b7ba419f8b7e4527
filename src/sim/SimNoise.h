#pragma once
// The noise of one simulated inertial axis, in its output units (deg/s or g), the three
// terms an Allan deviation plot shows:
//   white noise         random walk coefficient N (units*sqrt(s)): N/sqrt(tau0) per sample;
//   bias instability    B (units): a sum of first-order Gauss-Markov processes, two per
//                       decade of correlation time between correlationMin and correlationMax,
//                       of equal variance, scaled so their Allan deviation peaks at 0.664*B;
//   rate random walk    K (units/sqrt(s)): the rate takes a step of K*sqrt(tau0) per sample.
// tau0 is the sensor's sample period at the time of each sample.
#include <cstdint>
#include <vector>

namespace tavrin::sim {

struct AxisNoise {
    double randomWalk = 0;
    double biasInstability = 0;
    double correlationMin = 10, correlationMax = 1000; // seconds
    double rateRandomWalk = 0;
};

// Defaults like a tactical-grade part at rest: gyroscopes 0.15 deg/sqrt(h), 1 deg/h,
// 1 deg/h/sqrt(h); accelerometers 0.03 m/s/sqrt(h), 0.05 mg, 0.02 mg/sqrt(h).
struct NoiseModel {
    AxisNoise gyro{0.15 / 60, 1.0 / 3600, 10, 1000, 1.0 / 216000};
    AxisNoise accl{0.03 / 60 / 9.80665, 0.05e-3, 10, 1000, 0.02e-3 / 60};
};

// One axis' bias processes and rate walk; white noise is drawn by the caller.
class AxisDrift {
  public:
    explicit AxisDrift(const AxisNoise& n);
    // The drift after one more sample period `dt`; `gauss` gives unit normal draws.
    template <class Gauss> double step(double dt, Gauss&& gauss) {
        if (dt != dt_) setPeriod(dt);
        double sum = walk_;
        for (std::size_t j = 0; j < state_.size(); ++j) {
            state_[j] = decay_[j] * state_[j] + drive_[j] * gauss();
            sum += state_[j];
        }
        if (walkStep_ > 0) walk_ += walkStep_ * gauss();
        return sum;
    }
    // Starts each process at a draw of its steady spread, so there is no warm-up.
    template <class Gauss> void start(Gauss&& gauss) {
        for (double& s : state_) s = sigma_ * gauss();
    }
    std::size_t processes() const { return state_.size(); }
    double processSigma() const { return sigma_; }

  private:
    void setPeriod(double dt);
    AxisNoise n_;
    std::vector<double> tau_, decay_, drive_, state_;
    double sigma_ = 0; // steady standard deviation of each process
    double dt_ = -1, walkStep_ = 0, walk_ = 0;
};

// Allan variance of a first-order Gauss-Markov process of unit variance and correlation
// time T, at averaging time tau.
double GaussMarkovAvar(double T, double tau);

} // namespace tavrin::sim
