#include "sim/SimNoise.h"

#include <algorithm>
#include <cmath>

namespace tavrin::sim {

double GaussMarkovAvar(double T, double tau) {
    const double x = tau / T;
    if (x < 1e-4) return 2 * tau / (3 * T); // series form: the exact one cancels badly
    return (T / tau) * (2 - (T / tau) * (3 - 4 * std::exp(-x) + std::exp(-2 * x)));
}

AxisDrift::AxisDrift(const AxisNoise& n) : n_(n) {
    if (!(n.biasInstability > 0) || !(n.correlationMin > 0) ||
        !(n.correlationMax >= n.correlationMin))
        return;
    const int count =
        1 + static_cast<int>(std::lround(2 * std::log10(n.correlationMax / n.correlationMin)));
    for (int j = 0; j < count; ++j) tau_.push_back(n.correlationMin * std::pow(10.0, j / 2.0));
    // The peak of the processes' summed Allan deviation at unit variance sets their scale.
    double peak = 0;
    for (int k = 0; k <= 200; ++k) {
        const double tau = n.correlationMin * std::pow(10.0, k / 200.0 * (count + 1) / 2.0);
        double v = 0;
        for (const double T : tau_) v += GaussMarkovAvar(T, tau);
        peak = std::max(peak, std::sqrt(v));
    }
    sigma_ = 0.664 * n.biasInstability / peak;
    state_.assign(tau_.size(), 0.0);
    decay_.assign(tau_.size(), 0.0);
    drive_.assign(tau_.size(), 0.0);
}

void AxisDrift::setPeriod(double dt) {
    dt_ = dt;
    for (std::size_t j = 0; j < tau_.size(); ++j) {
        decay_[j] = std::exp(-dt / tau_[j]);
        drive_[j] = sigma_ * std::sqrt(1 - decay_[j] * decay_[j]);
    }
    walkStep_ = n_.rateRandomWalk > 0 ? n_.rateRandomWalk * std::sqrt(dt) : 0;
}

} // namespace tavrin::sim
