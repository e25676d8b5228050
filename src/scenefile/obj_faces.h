// OBJ text checked line by line before it is parsed, and polygons cut into triangles.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/vec3.h"

namespace lumo {

// A face may list at most this many corners.
inline constexpr size_t kMaxObjFaceCorners = 16384;

// Checks the `v`, `vt`, `vn` and `f` lines of an OBJ text: every coordinate a finite float with
// nothing after it, every face corner `i`, `i/t`, `i//n` or `i/t/n` with indices (negative ones
// counting back) naming an element the file has. Throws FileFault under `keyPath` with
// "name:line: what is wrong".
void checkObjText(const std::string& text, const std::string& name, const std::string& keyPath);

// Triangles covering a simple polygon (concave allowed, a ring joined by a seam too), as indices into
// `corners`, wound like the polygon. Ear clipping in the plane the polygon faces most; a convex quad
// is split along its shorter diagonal; a polygon without area becomes a fan.
std::vector<std::array<int, 3>> triangulatePolygon(const std::vector<Vec3>& corners);

}  // namespace lumo
