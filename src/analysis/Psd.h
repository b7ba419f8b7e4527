#pragma once
// Power spectral density of a rate (or any) series by Welch's method: Hann window, segments
// overlapping by half, each segment's mean removed before the window, one-sided, in the
// series' unit squared per hertz. Streaming: samples go in as they come; it holds one
// segment, the FFT's workspace and the summed spectrum, whatever the series' length.
//
// The FFT is Debian's KissFFT, which Debian builds for single precision only: samples and
// means stay in double, the windowed segment goes through the FFT in float (its error about
// 135 dB below the segment's power, far under a 16-bit sensor's steps), and the squared
// magnitudes are summed in double.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LogReader.h"

namespace tavrin::analysis {

inline constexpr std::size_t kMinSegment = 16;
inline constexpr std::size_t kMaxSegment = std::size_t{1} << 24;

// A usable segment length: a power of two from kMinSegment to kMaxSegment samples.
bool IsSegmentLength(long long segment);

// Whole segments of `segment` samples, each starting half a segment after the one before.
long long SegmentCount(long long samples, std::size_t segment);

// The longest power of two (kMinSegment to kMaxSegment) that gives 16 or more segments, or
// else kMinSegment when that gives 8 or more; 0 when the series is shorter than that.
std::size_t ChooseSegment(long long samples);

// Samples ChooseSegment needs: 8 half-overlapping segments of kMinSegment.
inline constexpr long long kMinSpectrumSamples =
    static_cast<long long>(kMinSegment + 7 * (kMinSegment / 2));

struct Spectrum {
    double sampleRate = 0;   // Hz
    std::size_t segment = 0; // samples per segment
    long long segments = 0;  // averaged
    long long samples = 0;   // taken in
    // Density at frequency(i) = (i + 1) * resolution(), i = 0 .. segment / 2 - 1, up to
    // half the sample rate (that last bin half as wide as the others, but a density like
    // them). The zero-frequency bin is left out: with each segment's mean removed it only
    // holds what the window spreads there from the lowest frequencies.
    std::vector<double> density;

    double resolution() const { return sampleRate / static_cast<double>(segment); }
    double frequency(std::size_t i) const { return static_cast<double>(i + 1) * resolution(); }
    // Samples after the last whole segment, left out.
    long long unused() const;
    // Root mean square over the band, from the density (Parseval), in the series' unit.
    double rms() const;
};

class WelchPsd {
  public:
    // `segment` must satisfy IsSegmentLength and `sampleRate` be above 0 (else
    // std::invalid_argument).
    WelchPsd(std::size_t segment, double sampleRate);
    ~WelchPsd();
    WelchPsd(WelchPsd&&) noexcept;
    WelchPsd& operator=(WelchPsd&&) noexcept;

    void add(const double* values, std::size_t count);
    void add(const std::vector<double>& values) { add(values.data(), values.size()); }

    // The average of the whole segments so far; no density before the first one.
    Spectrum spectrum() const;

  private:
    struct Fft;
    std::unique_ptr<Fft> fft_;
    std::size_t segment_;
    double sampleRate_;
    std::vector<double> window_, buffer_, sum_;
    std::size_t filled_ = 0;
    double windowPower_ = 0; // sum of the squared window
    long long segments_ = 0, samples_ = 0;
    void transform();
};

// "(deg/s)^2/Hz", "g^2/Hz", ... for the series' unit ("unit^2/Hz" when it is not known).
std::string DensityUnit(std::string_view unit);

// The spectrum of a series at its tau0; `segment` 0 chooses one (ChooseSegment), else it
// must satisfy IsSegmentLength. Empty, with `problem` saying why, when the series is too short.
std::optional<Spectrum> SpectrumOfSeries(const Series& s, std::size_t segment,
                                         std::string& problem);

// A log file in, the spectrum of every chosen channel out: what the command line and the
// window call.
struct ChannelSpectrum {
    Series series; // values released once the spectrum is made
    Spectrum spectrum;
};
struct SpectrumResult {
    std::string error; // as ReadLog reports it, or "<file>: <channel>: ..." for a short series
    bool cancelled = false;
    std::vector<ChannelSpectrum> channels;
};
// `segment` 0 chooses per channel (ChooseSegment); else it must satisfy IsSegmentLength.
SpectrumResult SpectrumOfLog(const std::filesystem::path& file, const ReadOptions& options,
                             std::size_t segment = 0);

// One title line, then one line per frequency of any channel: frequency in Hz, then each
// channel's density (empty where it has none at that frequency), comma-separated, decimal
// point whatever the locale, lines ended by "\n".
std::string SpectrumCsv(const SpectrumResult& r);

// Per channel: samples and tau0, segments, length and resolution, rms over the band and the
// highest density with its frequency.
std::string SpectrumTable(const SpectrumResult& r);

} // namespace tavrin::analysis
