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

// The same, searching outward from `lo` first: the answer is usually near, and probes
// far away would each miss the cache.
template <class Pred>
std::size_t GallopPoint(std::size_t lo, std::size_t hi, Pred above) {
    std::size_t known = lo;  // every index below is not above
    std::size_t step = 1;
    std::size_t probe = lo;
    while (probe < hi && !above(probe)) {
        known = probe + 1;
        probe = lo + step;
        step *= 2;
    }
    return PartitionPoint(known, std::min(probe, hi), above);
}

}  // namespace

PointStore::PointStore(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

PointStore::~PointStore() = default;

std::unique_ptr<const PointStore> PointStore::Snapshot() const {
    auto copy = std::make_unique<PointStore>(capacity_);
    copy->series_ = series_;
    copy->total_ = total_;
    copy->dropped_ = dropped_;
    copy->origin_ = origin_;
    copy->hasOrigin_ = hasOrigin_;
    copy->lastMs_ = lastMs_;
    copy->lastLine_ = lastLine_;
    return copy;
}

std::size_t PointStore::AddSeries() {
    series_.emplace_back();
    return series_.size() - 1;
}

void PointStore::Append(std::size_t series, int64_t msecs, double value, uint64_t line) {
    if (!hasOrigin_) {
        origin_ = msecs;
        hasOrigin_ = true;
        lastLine_ = line;
    }
    line = std::max(line, lastLine_);
    lastLine_ = line;
    // Relative time, held monotonic; 49 days of ms fit in 32 bits.
    const int64_t rel =
        std::clamp<int64_t>(msecs - origin_, 0, std::numeric_limits<uint32_t>::max());
    const uint32_t ms = std::max(lastMs_, static_cast<uint32_t>(rel));
    lastMs_ = ms;

    Series& s = series_[series];
    const std::size_t p = s.head + s.size;
    if (p / kChunkPoints >= s.chunks.size()) {
        s.chunks.push_back(std::make_shared<Chunk>());
    } else if (s.chunks.back().use_count() > 1) {
        // A snapshot reads it: write a copy of our own.
        s.chunks.back() = std::make_shared<Chunk>(*s.chunks.back());
    }
    Chunk& c = *s.chunks[p / kChunkPoints];
    const std::size_t off = p % kChunkPoints;
    if (off == 0) {
        c.lineBase = line;
    }
    // A series seen once in more than 4 billion lines would overflow; it keeps the last.
    const auto lineOff = static_cast<uint32_t>(
        std::min<uint64_t>(line - c.lineBase, std::numeric_limits<uint32_t>::max()));
    if (!c.line.empty()) {
        c.line[off] = lineOff;
    } else if (lineOff != off) {
        // The first gap in the chunk's lines: from now on each point keeps its own.
        c.line.resize(kChunkPoints);
        for (std::size_t k = 0; k < off; ++k) {
            c.line[k] = static_cast<uint32_t>(k);
        }
        c.line[off] = lineOff;
    }
    c.ms[off] = ms;
    c.value[off] = value;
    const std::size_t b = off / kBlockPoints;
    if (off % kBlockPoints == 0) {
        c.blockMs[b] = ms;
        c.blockLine[b] = lineOff;
    }
    if (off % kBlockPoints == 0 || value < c.blockMin[b]) {
        c.blockMin[b] = value;
        c.blockMinAt[b] = static_cast<uint16_t>(off);
    }
    if (off % kBlockPoints == 0 || value > c.blockMax[b]) {
        c.blockMax[b] = value;
        c.blockMaxAt[b] = static_cast<uint16_t>(off);
    }
    ++s.size;
    ++total_;
    while (total_ > capacity_) {
        DropOldest();
    }
}

void PointStore::DropOldest() {
    Series* oldest = nullptr;
    for (Series& s : series_) {
        if (s.size > 0 && (!oldest || LineAt(s, 0) < LineAt(*oldest, 0))) {
            oldest = &s;
        }
    }
    Series& s = *oldest;
    ++s.head;
    --s.size;
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
    lastLine_ = 0;
}

double PointStore::XOf(const Series& s, std::size_t i, XMode mode) const {
    if (mode == XMode::Sample) {
        return static_cast<double>(LineAt(s, i));
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

PointStore::Extremes PointStore::ExtremesOf(const Series& s, std::size_t from,
                                            std::size_t to) const {
    Extremes e{from, from, ValueAt(s, from), ValueAt(s, from)};
    auto take = [&e](double lo, std::size_t loAt, double hi, std::size_t hiAt) {
        if (lo < e.min) {
            e.min = lo;
            e.minAt = loAt;
        }
        if (hi > e.max) {
            e.max = hi;
            e.maxAt = hiAt;
        }
    };
    std::size_t p = s.head + from;  // positions from the start of the first chunk
    const std::size_t stop = s.head + to;
    while (p < stop) {
        const Chunk& c = *s.chunks[p / kChunkPoints];
        const std::size_t base = p - p % kChunkPoints;  // position of c's first slot
        const std::size_t off = p - base;
        if (off % kBlockPoints == 0 && p + kBlockPoints <= stop) {
            // A whole block: its summary (never one with dropped points: those lie
            // before `from`).
            const std::size_t b = off / kBlockPoints;
            take(c.blockMin[b], base + c.blockMinAt[b] - s.head, c.blockMax[b],
                 base + c.blockMaxAt[b] - s.head);
            p += kBlockPoints;
            continue;
        }
        const std::size_t blockEnd = std::min(stop, p - off % kBlockPoints + kBlockPoints);
        for (; p < blockEnd; ++p) {
            const double v = c.value[p - base];
            take(v, p - s.head, v, p - s.head);
        }
    }
    return e;
}

template <class Column, class Emit>
void PointStore::DecimateDense(const Series& s, XMode mode, std::size_t lo, std::size_t hi,
                               const Column& column, const Emit& emit) const {
    // The column being gathered: its extremes so far.
    bool any = false;
    int64_t col = 0;
    Extremes e{};
    auto flush = [&] {
        emit(std::min(e.minAt, e.maxAt));
        if (e.minAt != e.maxAt) {
            emit(std::max(e.minAt, e.maxAt));
        }
    };
    auto add = [&](int64_t c, double min, std::size_t minAt, double max, std::size_t maxAt) {
        if (any && c == col) {
            if (min < e.min) {
                e.min = min;
                e.minAt = minAt;
            }
            if (max > e.max) {
                e.max = max;
                e.maxAt = maxAt;
            }
            return;
        }
        if (any) {
            flush();
        }
        any = true;
        col = c;
        e = {minAt, maxAt, min, max};
    };
    auto addPoint = [&](std::size_t k) {
        const double v = ValueAt(s, k);
        add(column(XOf(s, k, mode)), v, k, v, k);
    };
    // Loose points up to the first whole block, then whole blocks, then the rest.
    std::size_t k = lo;
    for (; k < hi && (s.head + k) % kBlockPoints != 0; ++k) {
        addPoint(k);
    }
    // Chunk by chunk, reading only the block summaries (the points' own times would each
    // cost a cache miss).
    while (k + kBlockPoints <= hi) {
        const std::size_t p = s.head + k;
        const Chunk& c = *s.chunks[p / kChunkPoints];
        const std::size_t base = p - p % kChunkPoints - s.head;  // index of c's first slot
        const std::size_t first = (p % kChunkPoints) / kBlockPoints;
        const std::size_t end = std::min(kChunkBlocks, first + (hi - k) / kBlockPoints);
        for (std::size_t b = first; b < end; ++b, k += kBlockPoints) {
            const double x = mode == XMode::Sample
                                 ? static_cast<double>(c.lineBase + c.blockLine[b])
                                 : c.blockMs[b] / 1000.0;
            add(column(x), c.blockMin[b], base + c.blockMinAt[b], c.blockMax[b],
                base + c.blockMaxAt[b]);
        }
    }
    for (; k < hi; ++k) {
        addPoint(k);
    }
    if (any) {
        flush();
    }
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
    if (hi - lo >= kDenseColumnPoints * static_cast<std::size_t>(width)) {
        DecimateDense(s, mode, lo, hi, column, emit);
    } else {
        std::size_t i = lo;
        while (i < hi) {
            const int64_t c = column(XOf(s, i, mode));
            const std::size_t end =
                GallopPoint(i + 1, hi, [&](std::size_t k) { return column(XOf(s, k, mode)) > c; });
            if (end - i <= 2) {
                for (std::size_t k = i; k < end; ++k) {
                    emit(k);
                }
            } else {
                const Extremes e = ExtremesOf(s, i, end);
                emit(std::min(e.minAt, e.maxAt));
                if (e.minAt != e.maxAt) {
                    emit(std::max(e.minAt, e.maxAt));
                }
            }
            i = end;
        }
    }
    if (hi < s.size) {
        emit(hi);
    }
}

std::size_t PointStore::MemoryBytes() const {
    std::size_t bytes = series_.size() * sizeof(Series);
    for (const Series& s : series_) {
        bytes += s.chunks.size() * (sizeof(Chunk) + sizeof(std::shared_ptr<Chunk>) + 16);
        for (const auto& c : s.chunks) {
            bytes += c->line.capacity() * sizeof(uint32_t);
        }
    }
    return bytes;
}

}  // namespace zenta::plot
