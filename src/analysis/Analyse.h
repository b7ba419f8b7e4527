#pragma once
// A log file in, the Allan deviation curve and noise figures of each channel out: what
// the command line and the window call.
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/Allan.h"
#include "analysis/LogReader.h"

namespace tavrin::analysis {

struct ChannelResult {
    Series series; // values released once the curve is made
    std::vector<AdevPoint> curve;
    NoiseFigures figures;
    QuotedFigures quoted;
};

struct AnalysisResult {
    std::string error; // as ReadLog reports it
    bool cancelled = false;
    std::vector<ChannelResult> channels;
};

// Reads the file and analyses every chosen channel; each series is freed as soon as its
// curve is made.
AnalysisResult AnalyseLog(const std::filesystem::path& file, const ReadOptions& options);

// The curve CSV of all channels (see CurveCsv).
std::string CurveCsvOf(const AnalysisResult& r);

// A plain-text table: per channel its tau0 and the figures with their tau, or
// "not available".
std::string FiguresTable(const AnalysisResult& r);

} // namespace tavrin::analysis
