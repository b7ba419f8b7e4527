#pragma once
// A log read once for everything the analysis window shows of it: per channel the Allan
// analysis, the spectrum, and the samples against time with their min/max pyramid, which is
// built as the file is read. Memory: the samples (8 bytes each, kept for the time view),
// the pyramid (1.3 bytes a sample) and, while a channel's deviation is computed, a copy of
// that channel's samples for each core at work.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Analyse.h"
#include "analysis/Decimation.h"
#include "analysis/Psd.h"

namespace tavrin::analysis {

struct TimeSeries {
    std::string title, unit;
    double tau0 = 0; // seconds: sample i stands at i * tau0 from the first
    std::vector<double> values;
    MinMaxPyramid pyramid;
    double duration() const { return static_cast<double>(values.size()) * tau0; }
};

struct LogViews {
    AnalysisResult analysis;
    // Per channel of `analysis`: its spectrum at its tau0, or why there is none.
    std::vector<std::optional<Spectrum>> spectra;
    std::vector<std::string> spectrumProblems;
    std::vector<TimeSeries> time;
};

// Reads the file once (the pyramids as it goes), then per channel, one a core: the spectrum,
// and the Allan analysis on a copy of the samples, which AnalyseChannel uses up.
LogViews AnalyseLogViews(const std::filesystem::path& file, const AnalysisOptions& options);

// The Allan analysis again (another choice of tau) from the samples the time view holds,
// without reading the file.
AnalysisResult Reanalysed(const LogViews& v, const AnalysisOptions& options);

// The spectra there are, for SpectrumCsv.
SpectrumResult SpectraOf(const LogViews& v);

// The one-sided density of the white noise the fitted random walk N gives: 2 N^2 in the
// channel's unit squared per hertz; 0 when N is not available.
double WhiteLevel(const ChannelResult& c);

} // namespace tavrin::analysis
