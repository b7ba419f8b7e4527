#include "analysis/Decimation.h"

#include <algorithm>
#include <cmath>

namespace tavrin::analysis {

namespace {

void Widen(MinMax& into, const MinMax& m) {
    into.min = std::min(into.min, m.min);
    into.max = std::max(into.max, m.max);
}

} // namespace

// A completed block of `level`; it is also a part of the block being filled one level up,
// which may complete in turn.
void MinMaxPyramid::push(std::size_t level, MinMax m) {
    for (;; ++level) {
        if (level + 2 > levels_.size()) levels_.resize(level + 2);
        levels_[level].blocks.push_back(m);
        Level& up = levels_[level + 1];
        if (up.filled == 0)
            up.open = m;
        else
            Widen(up.open, m);
        if (++up.filled < kFactor) return;
        up.filled = 0;
        m = up.open;
    }
}

void MinMaxPyramid::add(const double* values, std::size_t count) {
    if (levels_.empty()) levels_.resize(1);
    samples_ += count;
    for (std::size_t i = 0; i < count;) {
        Level& first = levels_[0];
        const std::size_t take = std::min(count - i, kBase - first.filled);
        const double* p = values + i;
        MinMax m = first.filled ? first.open : MinMax{p[0], p[0]};
        for (std::size_t j = 0; j < take; ++j) {
            m.min = std::min(m.min, p[j]);
            m.max = std::max(m.max, p[j]);
        }
        first.open = m;
        first.filled += take;
        i += take;
        if (first.filled == kBase) {
            first.filled = 0;
            push(0, m);
        }
    }
}

void MinMaxPyramid::finish() {
    for (Level& l : levels_) l.blocks.shrink_to_fit();
}

std::size_t MinMaxPyramid::bytes() const {
    std::size_t n = sizeof(*this);
    for (const Level& l : levels_) n += sizeof(Level) + l.blocks.capacity() * sizeof(MinMax);
    return n;
}

MinMax MinMaxPyramid::range(const std::vector<double>& values, std::size_t first,
                            std::size_t last) const {
    last = std::min(last, values.size());
    MinMax r{values.at(first), values[first]};
    const auto sample = [&](std::size_t i) { Widen(r, {values[i], values[i]}); };
    // Samples beyond the last complete block are only in `values`.
    const std::size_t covered = levels_.empty() ? 0 : levels_[0].blocks.size() * kBase;
    std::size_t lo = first, hi = last;
    while (hi > lo && hi > covered) sample(--hi);
    // Single samples up to block boundaries, then at each level the blocks up to the
    // boundaries of the next level's blocks, whose blocks cover the middle.
    while (lo < hi && lo % kBase != 0) sample(lo++);
    while (lo < hi && hi % kBase != 0) sample(--hi);
    std::size_t l = lo / kBase, h = hi / kBase;
    for (std::size_t k = 0; l < h; ++k) {
        const std::vector<MinMax>& blocks = levels_[k].blocks;
        if (k + 1 >= levels_.size() || h - l < 2 * kFactor) {
            for (std::size_t j = l; j < h; ++j) Widen(r, blocks[j]);
            break;
        }
        while (l < h && l % kFactor != 0) Widen(r, blocks[l++]);
        while (l < h && h % kFactor != 0) Widen(r, blocks[--h]);
        l /= kFactor;
        h /= kFactor;
    }
    return r;
}

std::vector<ViewPoint> ViewOf(const std::vector<double>& values, const MinMaxPyramid& pyramid,
                              std::size_t first, std::size_t last, std::size_t columns) {
    std::vector<ViewPoint> out;
    last = std::min(last, values.size());
    if (first >= last || columns == 0) return out;
    const std::size_t n = last - first;
    if (n <= 2 * columns) {
        out.reserve(n);
        for (std::size_t i = first; i < last; ++i) out.push_back({i, values[i]});
        return out;
    }
    out.reserve(2 * columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t a = first + n * c / columns, b = first + n * (c + 1) / columns;
        const MinMax m = pyramid.range(values, a, b);
        // From the previous column's last point to the nearer extreme first.
        const double from = out.empty() ? m.min : out.back().value;
        const bool minFirst = std::abs(from - m.min) <= std::abs(from - m.max);
        out.push_back({a, minFirst ? m.min : m.max});
        out.push_back({a, minFirst ? m.max : m.min});
    }
    return out;
}

} // namespace tavrin::analysis
