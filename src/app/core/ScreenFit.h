#pragma once
// Fitting a window into the part of a screen it may use (the screen less its panels), at
// any scale factor: a stored or default geometry larger than the screen, or partly off
// it, would leave controls out of reach.

#include <QRect>
#include <QSize>

namespace zenta {

// The window's frame rectangle moved and, where it must be, shrunk so that it lies inside
// area, but never below minimum (then it starts at the area's top left).
QRect FitIntoArea(const QRect& frame, const QRect& area, const QSize& minimum);

}  // namespace zenta
