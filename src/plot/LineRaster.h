#pragma once
// One-pixel lines drawn into 32-bit pixels, for plots of points decimated per pixel column.
// Such a plot is mostly vertical runs a few hundred pixels tall, and a general painter pays
// for each pixel several times over (each run, then the steep line to the next column, one
// pixel at a time down a column of the image). Here every line becomes one run per pixel
// column, and runs are kept column by column, so a run is one contiguous fill; the result
// is copied into the image row by row.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plot/PointStore.h"

namespace zenta::plot {

class LineRaster {
  public:
    // Starts an empty picture of `width` x `height` pixels.
    void Reset(int width, int height);

    // Joins the points (pixel coordinates: x right, y down, pixel (i, j) covering
    // [i, i+1) x [j, j+1), x not decreasing) with a line of `colour`, over what was drawn
    // before. Pixels with a zero top byte stand for "nothing": give colours as 0xffRRGGBB.
    // A single point draws one pixel; points far outside and non-finite ones are handled.
    void DrawPolyline(const PlotPoint* points, std::size_t count, uint32_t colour);

    // Copies every drawn pixel to `bits` (the pixel at (0, 0); `stride` pixels a row),
    // leaving the others as they are.
    void CopyTo(uint32_t* bits, std::ptrdiff_t stride) const;

    int Width() const { return width_; }
    int Height() const { return height_; }

  private:
    void Extend(int column, double y0, double y1);
    void Segment(double ax, double ay, double bx, double by);

    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;  // column by column
    std::vector<int> usedTop_;      // per column, rows drawn so far (top > bottom: none)
    std::vector<int> usedBottom_;
    std::vector<int> runTop_;  // per column, the run of the line being drawn
    std::vector<int> runBottom_;
    int runFrom_ = 0;  // columns the line being drawn touched
    int runTo_ = -1;
};

}  // namespace zenta::plot
