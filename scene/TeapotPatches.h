// The control points of the Newell teapot: 32 bicubic Bezier patches of 16
// points, scaled by 0.06, with z up, the spout towards -y and the handle
// towards +y. In order, four patches each: the rim, the upper body, the
// lower body, the handle, the spout, the top of the lid, the lower lid and
// the bottom; each four go around the z axis (the handle and spout as two
// halves of two patches).
#pragma once

#include "scene/Vector.h"

namespace kessa {

constexpr int teapotPatchCount = 32;

// Patch p's points at 16 p to 16 p + 15, row by row.
const Vector* teapotControlPoints();

}  // namespace kessa
