#pragma once
// The noise figures in the imu.yaml that visual-inertial calibration and estimation tools
// read: noise density and bias random walk of the gyroscopes and accelerometers in SI
// units, and the update rate.
#include <optional>
#include <string>
#include <vector>

#include "analysis/Analyse.h"

namespace tavrin::analysis {

struct FittedFigure {
    double value = 0;
    double tauMin = 0, tauMax = 0; // seconds: the range of the fit it came from
};

// One axis' figures in the units the analysis quotes them.
struct ImuAxisFigures {
    std::string channel;                        // "X Gryo", "Z acc", ...
    std::optional<FittedFigure> randomWalk;     // N: deg/sqrt(h), or m/s/sqrt(h)
    std::optional<FittedFigure> rateRandomWalk; // K: deg/h/sqrt(h), or mg/sqrt(h)
};

struct ImuYamlInput {
    std::string sourceLog;   // file name, for the comment
    double updateRateHz = 0; // the sensor's sample rate
    std::vector<ImuAxisFigures> gyroscopes, accelerometers;
};

struct ImuYamlResult {
    std::string error; // which figure is missing; empty when `text` is made
    std::string text;
};

// Each value is the largest of the axes (the noisiest axis bounds the others), converted:
//   gyroscope_noise_density      rad/s/sqrt(Hz)   = N [deg/sqrt(h)] * pi/180 / 60
//   gyroscope_random_walk        rad/s^2/sqrt(Hz) = K [deg/h/sqrt(h)] * pi/180 / 3600 / 60
//   accelerometer_noise_density  m/s^2/sqrt(Hz)   = N [m/s/sqrt(h)] / 60
//   accelerometer_random_walk    m/s^3/sqrt(Hz)   = K [mg/sqrt(h)] * 1e-3 * 9.80665 / 60
// Refused, naming what is missing, without an update rate, without a gyroscope or an
// accelerometer, or when any axis lacks N or K.
ImuYamlResult ImuYaml(const ImuYamlInput& in);

// The figures of an analysis: each gyroscope (deg/s) and accelerometer (g) channel with its
// fitted N and K where the fit has them, over the tau range where each is the largest term;
// the update rate is that of the channel sampled slowest (1 / its tau0).
ImuYamlInput ImuYamlInputOf(const AnalysisResult& r, const std::string& sourceLog);

} // namespace tavrin::analysis
