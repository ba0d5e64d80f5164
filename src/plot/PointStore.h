#pragma once
// Every point received since the last clear, per series, up to a total capacity; beyond
// it the oldest points of all series go first. A point is 12 bytes (time in ms since the
// first point, value as double) kept in fixed chunks, so no copy ever doubles the memory;
// each block of 64 points keeps its extremes aside (0.4 bytes a point). Each point also has
// the number of its line, which keeps series aligned (points of one received line share
// it): a chunk whose points lie on lines one after another keeps only its first line; one
// with gaps keeps 4 bytes more a point. A snapshot
// shares the chunks (only the one being filled is copied when next written), so another thread can
// read every point while this one goes on appending.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace zenta::plot {

inline constexpr std::size_t kDefaultCapacity = 10'000'000;

enum class XMode { Time, Sample };

struct PlotPoint {
    double x;
    double y;
};

class PointStore {
  public:
    explicit PointStore(std::size_t capacity = kDefaultCapacity);
    ~PointStore();
    PointStore(const PointStore&) = delete;
    PointStore& operator=(const PointStore&) = delete;

    // The points as they are now, sharing their memory with this store; safe to read on
    // another thread while this store changes. Costs a pointer per 4096 points.
    std::unique_ptr<const PointStore> Snapshot() const;

    std::size_t AddSeries();
    // Times that go back (a clock set back) are held at the latest time seen; so are line
    // numbers (counted from 0 since the clear).
    void Append(std::size_t series, int64_t msecsSinceEpoch, double value, uint64_t line);
    // A point that is a line of its own.
    void Append(std::size_t series, int64_t msecsSinceEpoch, double value) {
        Append(series, msecsSinceEpoch, value, NextLine());
    }
    // The number the next line gets.
    uint64_t NextLine() const { return hasOrigin_ ? lastLine_ + 1 : 0; }
    void Clear();  // points and series

    std::size_t SeriesCount() const { return series_.size(); }
    std::size_t Size(std::size_t series) const { return series_[series].size; }
    std::size_t TotalPoints() const { return total_; }
    std::size_t Capacity() const { return capacity_; }
    // Points dropped because the store was full, since the last clear.
    uint64_t DroppedPoints() const { return dropped_; }
    bool Empty() const { return total_ == 0; }

    // Receive time of the first point since the clear (ms since the epoch).
    int64_t OriginMsecs() const { return origin_; }
    // x of point i of a series: seconds since the first point, or its sample number: the
    // number of its line since the clear (dropped ones included).
    double X(std::size_t series, std::size_t i, XMode mode) const;
    uint64_t Line(std::size_t series, std::size_t i) const { return LineAt(series_[series], i); }
    double Value(std::size_t series, std::size_t i) const;
    // Largest x over all series (0 when empty).
    double LastX(XMode mode) const;
    double FirstX(XMode mode) const;

    // The points of a series that draw the same at `width` pixel columns over [x0, x1] as
    // all of them: per column its lowest and highest point in their order (a column of one
    // or two points keeps them as they are), plus the nearest point outside each end so
    // the line runs to the edge.
    void Decimate(std::size_t series, XMode mode, double x0, double x1, int width,
                  std::vector<PlotPoint>& out) const;

    // Index of the last point with x <= `x` (npos when none).
    std::size_t IndexAtOrBefore(std::size_t series, XMode mode, double x) const;

    // Heap bytes held for points (chunks and their index).
    std::size_t MemoryBytes() const;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    static constexpr std::size_t kChunkPoints = 4096;
    // Points per block whose lowest and highest value are kept aside, so decimating a
    // dense range reads one summary instead of every point.
    static constexpr std::size_t kBlockPoints = 64;

  private:
    static constexpr std::size_t kChunkBlocks = kChunkPoints / kBlockPoints;
    // From this many points per pixel column on, a block's points may all land in the
    // column of its first one (a shift of at most 1/8 pixel).
    static constexpr std::size_t kDenseColumnPoints = 8 * kBlockPoints;
    struct Chunk {
        uint64_t lineBase;  // line of the chunk's first point
        // Line of each point from lineBase; empty while point i is on line lineBase + i.
        std::vector<uint32_t> line;
        uint32_t ms[kChunkPoints];
        double value[kChunkPoints];
        double blockMin[kChunkBlocks];
        double blockMax[kChunkBlocks];
        uint32_t blockMs[kChunkBlocks];     // time of the block's first point
        uint32_t blockLine[kChunkBlocks];   // line of the block's first point, from lineBase
        uint16_t blockMinAt[kChunkBlocks];  // offset in the chunk
        uint16_t blockMaxAt[kChunkBlocks];
    };
    struct Extremes {
        std::size_t minAt;
        std::size_t maxAt;
        double min;
        double max;
    };
    struct Series {
        // Full chunks never change; the last one is copied before a write when a
        // snapshot shares it.
        std::deque<std::shared_ptr<Chunk>> chunks;
        std::size_t head = 0;  // first used slot of chunks.front()
        std::size_t size = 0;
    };

    // Decimation of ranges with many points per column: whole blocks go to the column of
    // their first point, so no point but those of the two end blocks is read.
    template <class Column, class Emit>
    void DecimateDense(const Series& s, XMode mode, std::size_t lo, std::size_t hi,
                       const Column& column, const Emit& emit) const;
    // Lowest and highest point of [from, to) (to > from), earliest first on ties.
    Extremes ExtremesOf(const Series& s, std::size_t from, std::size_t to) const;
    uint32_t MsAt(const Series& s, std::size_t i) const {
        const std::size_t p = s.head + i;
        return s.chunks[p / kChunkPoints]->ms[p % kChunkPoints];
    }
    uint64_t LineAt(const Series& s, std::size_t i) const {
        const std::size_t p = s.head + i;
        const Chunk& c = *s.chunks[p / kChunkPoints];
        const std::size_t off = p % kChunkPoints;
        return c.lineBase + (c.line.empty() ? off : c.line[off]);
    }
    double ValueAt(const Series& s, std::size_t i) const {
        const std::size_t p = s.head + i;
        return s.chunks[p / kChunkPoints]->value[p % kChunkPoints];
    }
    void DropOldest();
    // First index in [lo, hi) whose x is above `x`.
    std::size_t UpperBound(const Series& s, XMode mode, std::size_t lo, std::size_t hi,
                           double x) const;
    double XOf(const Series& s, std::size_t i, XMode mode) const;

    std::size_t capacity_;
    std::deque<Series> series_;  // a deque: Series do not move
    std::size_t total_ = 0;
    uint64_t dropped_ = 0;
    int64_t origin_ = 0;
    bool hasOrigin_ = false;
    uint32_t lastMs_ = 0;
    uint64_t lastLine_ = 0;
};

}  // namespace zenta::plot
