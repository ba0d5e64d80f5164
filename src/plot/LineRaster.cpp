#include "plot/LineRaster.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace zenta::plot {
namespace {

// Cuts the segment to the closed box [x0, x1] x [y0, y1]; false when nothing is left.
bool ClipSegment(double& ax, double& ay, double& bx, double& by, double x0, double y0, double x1,
                 double y1) {
    double t0 = 0;
    double t1 = 1;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - x0, x1 - ax, ay - y0, y1 - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    const double sx = ax;
    const double sy = ay;
    ax = sx + t0 * dx;
    ay = sy + t0 * dy;
    bx = sx + t1 * dx;
    by = sy + t1 * dy;
    return true;
}

}  // namespace

void LineRaster::Reset(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        usedTop_.assign(static_cast<std::size_t>(width), INT_MAX);
        usedBottom_.assign(static_cast<std::size_t>(width), INT_MIN);
        runTop_.assign(static_cast<std::size_t>(width), INT_MAX);
        runBottom_.assign(static_cast<std::size_t>(width), INT_MIN);
        return;
    }
    // Clear only what the last picture drew.
    for (int x = 0; x < width_; ++x) {
        if (usedTop_[x] <= usedBottom_[x]) {
            uint32_t* column = pixels_.data() + static_cast<std::ptrdiff_t>(x) * height_;
            std::fill(column + usedTop_[x], column + usedBottom_[x] + 1, 0u);
            usedTop_[x] = INT_MAX;
            usedBottom_[x] = INT_MIN;
        }
    }
}

void LineRaster::Extend(int column, double y0, double y1) {
    if (y0 > y1) {
        std::swap(y0, y1);
    }
    // Rows whose span [j, j+1) the line passes through; a line that only touches the next
    // row's edge does not take it.
    const int top = std::clamp(static_cast<int>(std::floor(y0)), 0, height_ - 1);
    const int bottom =
        std::clamp(std::max(top, static_cast<int>(std::ceil(y1)) - 1), 0, height_ - 1);
    runTop_[column] = std::min(runTop_[column], top);
    runBottom_[column] = std::max(runBottom_[column], bottom);
    runFrom_ = std::min(runFrom_, column);
    runTo_ = std::max(runTo_, column);
}

void LineRaster::Segment(double ax, double ay, double bx, double by) {
    const int c0 = std::clamp(static_cast<int>(std::floor(ax)), 0, width_ - 1);
    const int c1 = std::clamp(static_cast<int>(std::floor(bx)), 0, width_ - 1);
    if (c0 == c1) {
        Extend(c0, ay, by);
        return;
    }
    // Each column the segment crosses takes the rows between where it enters and leaves.
    const double slope = (by - ay) / (bx - ax);
    for (int c = c0; c <= c1; ++c) {
        const double from = std::max(ax, static_cast<double>(c));
        const double to = std::min(bx, static_cast<double>(c + 1));
        Extend(c, ay + (from - ax) * slope, ay + (to - ax) * slope);
    }
}

void LineRaster::DrawPolyline(const PlotPoint* points, std::size_t count, uint32_t colour) {
    if (width_ == 0 || height_ == 0 || count == 0) {
        return;
    }
    const double x1 = std::nextafter(static_cast<double>(width_), 0.0);
    const double y1 = std::nextafter(static_cast<double>(height_), 0.0);
    auto finite = [](const PlotPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    runFrom_ = width_;
    runTo_ = -1;
    for (std::size_t i = count == 1 ? 0 : 1; i < count; ++i) {
        const PlotPoint& a = points[i == 0 ? 0 : i - 1];
        const PlotPoint& b = points[i];
        if (!finite(a) || !finite(b)) {
            continue;
        }
        // Far points come nearer along the same direction first: seen from the picture the
        // line does not change (a shift of 1e-7 pixel at most), and the clip keeps its
        // precision (1e300 - 1e300 loses everything).
        constexpr double kFar = 1e12;
        double ax = std::clamp(a.x, -kFar, kFar), ay = std::clamp(a.y, -kFar, kFar);
        double bx = std::clamp(b.x, -kFar, kFar), by = std::clamp(b.y, -kFar, kFar);
        if (ax > bx) {
            std::swap(ax, bx);
            std::swap(ay, by);
        }
        if (ClipSegment(ax, ay, bx, by, 0, 0, x1, y1)) {
            Segment(ax, ay, bx, by);
        }
    }
    for (int x = runFrom_; x <= runTo_; ++x) {
        const int top = runTop_[x];
        const int bottom = runBottom_[x];
        if (top > bottom) {
            continue;
        }
        uint32_t* column = pixels_.data() + static_cast<std::ptrdiff_t>(x) * height_;
        std::fill(column + top, column + bottom + 1, colour);
        usedTop_[x] = std::min(usedTop_[x], top);
        usedBottom_[x] = std::max(usedBottom_[x], bottom);
        runTop_[x] = INT_MAX;
        runBottom_[x] = INT_MIN;
    }
}

void LineRaster::CopyTo(uint32_t* bits, std::ptrdiff_t stride) const {
    // A band of columns at a time, row by row: reads run down each column, writes along
    // the row.
    constexpr int kBand = 16;
    for (int x0 = 0; x0 < width_; x0 += kBand) {
        const int x1 = std::min(width_, x0 + kBand);
        int top = INT_MAX;
        int bottom = INT_MIN;
        for (int x = x0; x < x1; ++x) {
            top = std::min(top, usedTop_[x]);
            bottom = std::max(bottom, usedBottom_[x]);
        }
        for (int y = top; y <= bottom; ++y) {
            uint32_t* row = bits + y * stride;
            const uint32_t* from = pixels_.data() + y;
            for (int x = x0; x < x1; ++x) {
                const uint32_t v = from[static_cast<std::ptrdiff_t>(x) * height_];
                if (v >> 24) {
                    row[x] = v;
                }
            }
        }
    }
}

}  // namespace zenta::plot
