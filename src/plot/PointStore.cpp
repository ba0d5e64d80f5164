#include "plot/PointStore.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zenta::plot {
namespace {

// First index in [lo, hi) for which `above(i)` holds; `above` is false then true.
template <class Pred>
std::size_t PartitionPoint(std::size_t lo, std::size_t hi, Pred above) {
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (above(mid)) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

}  // namespace

PointStore::PointStore(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

PointStore::~PointStore() = default;

std::size_t PointStore::AddSeries() {
    series_.emplace_back();
    return series_.size() - 1;
}

void PointStore::Append(std::size_t series, int64_t msecs, double value) {
    if (!hasOrigin_) {
        origin_ = msecs;
        hasOrigin_ = true;
    }
    // Relative time, held monotonic; 49 days of ms fit in 32 bits.
    const int64_t rel =
        std::clamp<int64_t>(msecs - origin_, 0, std::numeric_limits<uint32_t>::max());
    const uint32_t ms = std::max(lastMs_, static_cast<uint32_t>(rel));
    lastMs_ = ms;

    Series& s = series_[series];
    const std::size_t p = s.head + s.size;
    if (p / kChunkPoints >= s.chunks.size()) {
        s.chunks.push_back(std::make_unique<Chunk>());
    }
    Chunk& c = *s.chunks[p / kChunkPoints];
    c.ms[p % kChunkPoints] = ms;
    c.value[p % kChunkPoints] = value;
    ++s.size;
    ++total_;
    while (total_ > capacity_) {
        DropOldest();
    }
}

void PointStore::DropOldest() {
    Series* oldest = nullptr;
    for (Series& s : series_) {
        if (s.size > 0 && (!oldest || MsAt(s, 0) < MsAt(*oldest, 0))) {
            oldest = &s;
        }
    }
    Series& s = *oldest;
    ++s.head;
    --s.size;
    ++s.firstSample;
    if (s.head == kChunkPoints || s.size == 0) {
        if (s.size == 0) {
            s.chunks.clear();
        } else {
            s.chunks.pop_front();
        }
        s.head = 0;
    }
    --total_;
    ++dropped_;
}

void PointStore::Clear() {
    series_.clear();
    total_ = 0;
    dropped_ = 0;
    origin_ = 0;
    hasOrigin_ = false;
    lastMs_ = 0;
}

double PointStore::XOf(const Series& s, std::size_t i, XMode mode) const {
    if (mode == XMode::Sample) {
        return static_cast<double>(s.firstSample + i);
    }
    return MsAt(s, i) / 1000.0;
}

double PointStore::X(std::size_t series, std::size_t i, XMode mode) const {
    return XOf(series_[series], i, mode);
}

double PointStore::Value(std::size_t series, std::size_t i) const {
    return ValueAt(series_[series], i);
}

double PointStore::LastX(XMode mode) const {
    double x = 0;
    for (const Series& s : series_) {
        if (s.size > 0) {
            x = std::max(x, XOf(s, s.size - 1, mode));
        }
    }
    return x;
}

double PointStore::FirstX(XMode mode) const {
    bool any = false;
    double x = 0;
    for (const Series& s : series_) {
        if (s.size > 0) {
            const double f = XOf(s, 0, mode);
            x = any ? std::min(x, f) : f;
            any = true;
        }
    }
    return x;
}

std::size_t PointStore::UpperBound(const Series& s, XMode mode, std::size_t lo, std::size_t hi,
                                   double x) const {
    return PartitionPoint(lo, hi, [&](std::size_t i) { return XOf(s, i, mode) > x; });
}

std::size_t PointStore::IndexAtOrBefore(std::size_t series, XMode mode, double x) const {
    const Series& s = series_[series];
    const std::size_t i = UpperBound(s, mode, 0, s.size, x);
    return i == 0 ? npos : i - 1;
}

void PointStore::Decimate(std::size_t series, XMode mode, double x0, double x1, int width,
                          std::vector<PlotPoint>& out) const {
    out.clear();
    const Series& s = series_[series];
    if (s.size == 0 || width <= 0 || !(x1 >= x0)) {
        return;
    }
    const double scale = width / std::max(x1 - x0, std::numeric_limits<double>::min());
    auto column = [&](double x) {
        return std::min<int64_t>(static_cast<int64_t>(std::floor((x - x0) * scale)), width - 1);
    };
    const std::size_t lo =
        PartitionPoint(0, s.size, [&](std::size_t i) { return XOf(s, i, mode) >= x0; });
    const std::size_t hi = UpperBound(s, mode, lo, s.size, x1);
    auto emit = [&](std::size_t i) { out.push_back({XOf(s, i, mode), ValueAt(s, i)}); };
    if (lo > 0) {
        emit(lo - 1);
    }
    std::size_t i = lo;
    while (i < hi) {
        const int64_t c = column(XOf(s, i, mode));
        const std::size_t end =
            PartitionPoint(i + 1, hi, [&](std::size_t k) { return column(XOf(s, k, mode)) > c; });
        // Lowest and highest over [i, end), a contiguous run per chunk.
        std::size_t minAt = i;
        std::size_t maxAt = i;
        double minV = ValueAt(s, i);
        double maxV = minV;
        for (std::size_t k = i; k < end;) {
            const std::size_t p = s.head + k;
            const std::size_t off = p % kChunkPoints;
            const std::size_t run = std::min(end - k, kChunkPoints - off);
            const double* v = s.chunks[p / kChunkPoints]->value + off;
            for (std::size_t r = 0; r < run; ++r) {
                if (v[r] < minV) {
                    minV = v[r];
                    minAt = k + r;
                }
                if (v[r] > maxV) {
                    maxV = v[r];
                    maxAt = k + r;
                }
            }
            k += run;
        }
        std::size_t picks[4] = {i, std::min(minAt, maxAt), std::max(minAt, maxAt), end - 1};
        std::size_t last = npos;
        for (std::size_t p : picks) {
            if (p != last) {
                emit(p);
                last = p;
            }
        }
        i = end;
    }
    if (hi < s.size) {
        emit(hi);
    }
}

std::size_t PointStore::MemoryBytes() const {
    std::size_t bytes = series_.size() * sizeof(Series);
    for (const Series& s : series_) {
        bytes += s.chunks.size() * (sizeof(Chunk) + sizeof(void*));
    }
    return bytes;
}

}  // namespace zenta::plot
