#include "analysis/Psd.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <stdexcept>
#include <type_traits>

#include "base/NumberText.h"

namespace tavrin::analysis {

static_assert(std::is_same_v<kiss_fft_scalar, float>,
              "Debian's KissFFT is the single-precision build; Psd.cpp converts for it");

struct WelchPsd::Fft {
    kiss_fftr_cfg cfg = nullptr;
    std::vector<kiss_fft_scalar> in;
    std::vector<kiss_fft_cpx> out;
    ~Fft() { kiss_fftr_free(cfg); }
};

bool IsSegmentLength(long long segment) {
    return segment >= static_cast<long long>(kMinSegment) &&
           segment <= static_cast<long long>(kMaxSegment) && (segment & (segment - 1)) == 0;
}

long long SegmentCount(long long samples, std::size_t segment) {
    const auto len = static_cast<long long>(segment);
    if (len <= 0 || samples < len) return 0;
    return (samples - len) / (len / 2) + 1;
}

std::size_t ChooseSegment(long long samples) {
    std::size_t best = 0;
    for (std::size_t len = kMinSegment; len <= kMaxSegment; len *= 2)
        if (SegmentCount(samples, len) >= 16) best = len;
    if (best == 0 && SegmentCount(samples, kMinSegment) >= 8) best = kMinSegment;
    return best;
}

long long Spectrum::unused() const {
    if (segments == 0) return samples;
    const auto len = static_cast<long long>(segment);
    return samples - (len + (segments - 1) * (len / 2));
}

double Spectrum::rms() const {
    double sum = 0;
    for (const double d : density) sum += d;
    if (!density.empty()) sum -= density.back() / 2; // the last bin is half as wide
    return std::sqrt(sum * resolution());
}

WelchPsd::WelchPsd(std::size_t segment, double sampleRate)
    : segment_(segment), sampleRate_(sampleRate) {
    if (!IsSegmentLength(static_cast<long long>(segment)))
        throw std::invalid_argument("segment length not a power of two in range");
    if (!(sampleRate > 0) || !std::isfinite(sampleRate))
        throw std::invalid_argument("sample rate not above 0");
    fft_ = std::make_unique<Fft>();
    fft_->cfg = kiss_fftr_alloc(static_cast<int>(segment), 0, nullptr, nullptr);
    if (!fft_->cfg) throw std::bad_alloc();
    fft_->in.resize(segment);
    fft_->out.resize(segment / 2 + 1);
    // The periodic Hann window, as spectral estimates use it.
    window_.resize(segment);
    for (std::size_t i = 0; i < segment; ++i) {
        window_[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) /
                                          static_cast<double>(segment));
        windowPower_ += window_[i] * window_[i];
    }
    buffer_.resize(segment);
    sum_.assign(segment / 2 + 1, 0.0);
}

WelchPsd::~WelchPsd() = default;
WelchPsd::WelchPsd(WelchPsd&&) noexcept = default;
WelchPsd& WelchPsd::operator=(WelchPsd&&) noexcept = default;

void WelchPsd::add(const double* values, std::size_t count) {
    samples_ += static_cast<long long>(count);
    while (count > 0) {
        const std::size_t take = std::min(count, segment_ - filled_);
        std::copy(values, values + take, buffer_.begin() + static_cast<std::ptrdiff_t>(filled_));
        filled_ += take;
        values += take;
        count -= take;
        if (filled_ == segment_) {
            transform();
            // The next segment starts half-way through this one.
            const std::size_t half = segment_ / 2;
            std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(half), buffer_.end(),
                      buffer_.begin());
            filled_ = half;
        }
    }
}

void WelchPsd::transform() {
    double mean = 0;
    for (const double v : buffer_) mean += v;
    mean /= static_cast<double>(segment_);
    for (std::size_t i = 0; i < segment_; ++i)
        fft_->in[i] = static_cast<kiss_fft_scalar>((buffer_[i] - mean) * window_[i]);
    kiss_fftr(fft_->cfg, fft_->in.data(), fft_->out.data());
    for (std::size_t k = 0; k < sum_.size(); ++k) {
        const double re = fft_->out[k].r, im = fft_->out[k].i;
        sum_[k] += re * re + im * im;
    }
    ++segments_;
}

Spectrum WelchPsd::spectrum() const {
    Spectrum s;
    s.sampleRate = sampleRate_;
    s.segment = segment_;
    s.segments = segments_;
    s.samples = samples_;
    if (segments_ == 0) return s;
    // One-sided: each bin counts its negative-frequency twin too. The bin at half the sample
    // rate has no twin but only half a bin's width, so as a density it is doubled as well:
    // white noise stays flat to the end.
    const double scale = 2 / (sampleRate_ * windowPower_ * static_cast<double>(segments_));
    s.density.resize(segment_ / 2);
    for (std::size_t k = 1; k <= s.density.size(); ++k) s.density[k - 1] = scale * sum_[k];
    return s;
}

std::string DensityUnit(std::string_view unit) {
    if (unit.empty()) return "unit^2/Hz";
    if (unit.find_first_of("/* ") != unit.npos) return "(" + std::string(unit) + ")^2/Hz";
    return std::string(unit) + "^2/Hz";
}

std::optional<Spectrum> SpectrumOfSeries(const Series& s, std::size_t segment,
                                         std::string& problem) {
    const auto n = static_cast<long long>(s.values.size());
    const std::size_t len = segment ? segment : ChooseSegment(n);
    if (len == 0) {
        problem = std::to_string(n) + " samples are too few for a spectrum (it needs " +
                  std::to_string(kMinSpectrumSamples) + ")";
        return std::nullopt;
    }
    if (SegmentCount(n, len) == 0) {
        problem =
            std::to_string(n) + " samples are fewer than one segment of " + std::to_string(len);
        return std::nullopt;
    }
    WelchPsd psd(len, 1 / s.tau0);
    psd.add(s.values);
    return psd.spectrum();
}

SpectrumResult SpectrumOfLog(const std::filesystem::path& file, const ReadOptions& options,
                             std::size_t segment) {
    SpectrumResult r;
    ReadResult read = ReadLog(file, options);
    r.cancelled = read.problem.status == LogStatus::Cancelled;
    if (!read.problem.ok() && !r.cancelled)
        r.error = ProblemText(base::QuotedInput(file.filename().string()), read.problem);
    if (!r.error.empty() || r.cancelled) return r;
    for (Series& s : read.data.channels) {
        std::string problem;
        auto spectrum = SpectrumOfSeries(s, segment, problem);
        if (!spectrum) {
            r.error = file.filename().string() + ": " + s.title + ": " + problem;
            r.channels.clear();
            return r;
        }
        std::vector<double>().swap(s.values);
        r.channels.push_back({std::move(s), std::move(*spectrum)});
    }
    return r;
}

std::string SpectrumCsv(const SpectrumResult& r) {
    std::string out = "frequency (Hz)";
    for (const auto& c : r.channels)
        out += "," + c.series.title + " PSD (" + DensityUnit(c.series.unit) + ")";
    out += '\n';
    // Channels of other lengths or sample rates have other frequencies: a line for each.
    std::map<double, std::vector<const double*>> rows;
    for (std::size_t j = 0; j < r.channels.size(); ++j) {
        const Spectrum& s = r.channels[j].spectrum;
        for (std::size_t i = 0; i < s.density.size(); ++i) {
            auto& row = rows[s.frequency(i)];
            row.resize(r.channels.size(), nullptr);
            row[j] = &s.density[i];
        }
    }
    for (const auto& [f, row] : rows) {
        out += NumberText(f);
        for (const double* d : row) {
            out += ',';
            if (d) out += NumberText(*d);
        }
        out += '\n';
    }
    return out;
}

std::string SpectrumTable(const SpectrumResult& r) {
    std::string out;
    for (const auto& c : r.channels) {
        const Series& ser = c.series;
        const Spectrum& s = c.spectrum;
        out += ser.title + ": " + std::to_string(ser.fresh) + " samples, " + Tau0Text(ser) + "\n";
        out += "  " + std::to_string(s.segments) + " segments of " + std::to_string(s.segment) +
               " samples (Hann window, half overlap, each segment's mean removed)";
        if (s.unused() > 0)
            out += "; the last " + std::to_string(s.unused()) + " samples fill no segment";
        out += "\n  resolution " + NumberText(s.resolution()) + " Hz, " +
               NumberText(s.frequency(0)) + " to " + NumberText(s.sampleRate / 2) + " Hz\n";
        out += "  rms " + NumberText(s.rms()) + " " + (ser.unit.empty() ? "unit" : ser.unit) +
               " over the band\n";
        const auto top = std::max_element(s.density.begin(), s.density.end());
        const auto at = static_cast<std::size_t>(top - s.density.begin());
        out += "  highest density " + NumberText(*top) + " " + DensityUnit(ser.unit) + " at " +
               NumberText(s.frequency(at)) + " Hz\n";
    }
    return out;
}

} // namespace tavrin::analysis
