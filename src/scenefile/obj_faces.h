// Polygons of OBJ faces cut into triangles.
#pragma once

#include <array>
#include <vector>

#include "core/vec3.h"

namespace lumo {

// A face may list at most this many corners.
inline constexpr size_t kMaxObjFaceCorners = 16384;

// Triangles covering a simple polygon (concave allowed, a ring joined by a seam too), as indices into
// `corners`, wound like the polygon. Ear clipping in the plane the polygon faces most; a convex quad
// is split along its shorter diagonal; a polygon without area becomes a fan. Always n - 2 triangles.
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec3>& corners);

}  // namespace lumo
