#include "app/core/ScreenFit.h"

#include <algorithm>

namespace zenta {

QRect FitIntoArea(const QRect& frame, const QRect& area, const QSize& minimum) {
    if (area.isEmpty()) {
        return frame;
    }
    const int width = std::max(std::min(frame.width(), area.width()), minimum.width());
    const int height = std::max(std::min(frame.height(), area.height()), minimum.height());
    // Past the right or bottom edge it moves back; the top left corner stays in the area
    // in any case, so the title bar can be reached.
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - width));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - height));
    return QRect(x, y, width, height);
}

}  // namespace zenta
