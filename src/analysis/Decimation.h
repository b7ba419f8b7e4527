#pragma once
// Min/max decimation of a long series for drawing: a pyramid of the minimum and maximum of
// blocks of kBase samples, of kFactor such blocks, of kFactor of those, and so on, built once
// as the samples come (1.3 bytes a sample once finished). With the samples themselves it gives the
// exact extremes of any range in a few dozen steps, so a view of a few thousand columns of
// a ten-million-sample series is made without touching every sample, and a spike of a single
// sample shows at every zoom.
#include <cstddef>
#include <vector>

namespace tavrin::analysis {

struct MinMax {
    double min = 0, max = 0;
};

class MinMaxPyramid {
  public:
    static constexpr std::size_t kBase = 16;  // samples in a block of the first level
    static constexpr std::size_t kFactor = 4; // blocks of one level in a block of the next

    // The next samples of the series, in order.
    void add(const double* values, std::size_t count);
    void add(const std::vector<double>& values) { add(values.data(), values.size()); }
    // Gives back what the levels reserved beyond their blocks, once the series is whole.
    void finish();

    std::size_t samples() const { return samples_; }
    std::size_t levels() const { return levels_.size(); }
    std::size_t bytes() const;

    // The smallest and largest of values[first, last), exactly; `values` are the samples the
    // pyramid was built from. The range must hold at least one sample.
    MinMax range(const std::vector<double>& values, std::size_t first, std::size_t last) const;

  private:
    struct Level {
        std::vector<MinMax> blocks; // complete blocks
        MinMax open{};              // the block being filled
        std::size_t filled = 0;     // samples or blocks below in it
    };
    void push(std::size_t level, MinMax m);
    std::vector<Level> levels_;
    std::size_t samples_ = 0;
};

// One point of a drawn series: the sample's index and its value.
struct ViewPoint {
    std::size_t index = 0;
    double value = 0;
};

// The points that draw values[first, last) in `columns` pixel columns: every sample when
// there are at most two a column, else each column's minimum and maximum (two points at the
// column's first sample, in the order that joins its neighbours with the shorter line), so
// never more than 2 * columns points, and their extremes are those of the samples.
std::vector<ViewPoint> ViewOf(const std::vector<double>& values, const MinMaxPyramid& pyramid,
                              std::size_t first, std::size_t last, std::size_t columns);

} // namespace tavrin::analysis
