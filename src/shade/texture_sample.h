// Colours that vary over a surface from a file: filtered textures and vertex colours.
#pragma once

#include "core/vec3.h"
#include "intersect/hit_record.h"
#include "scene/material.h"
#include "scene/scene_object.h"

namespace lumo {

// The texel index a wrap mode gives integer index i of a side n texels long.
int wrapTexel(int i, int n, TextureWrap wrap);

// The bitmap (which has pixels) at (s, t) through `how`: its transform, then the four texels whose
// centres ((i + 0.5) / width, (j + 0.5) / height) surround the point, blended by distance.
Vec3 sampleFiltered(const Bitmap& b, const TextureSampling& how, float s, float t);

// Whether the colour of object o (of material m) varies over it: a filtered texture or vertex colours.
inline bool hasVaryingColour(const SceneObject& o, const Material& m) {
    return (m.texture && m.sampling.filtered) || (o.flags & kVertexColours);
}

// The diffuse colour at a hit on such an object: the material's colour times the filtered texture
// and the interpolated vertex colour, each where there is one. Fills in the hit's texture coordinates.
Vec3 varyingColour(HitRecord& hit, const Material& m);

}  // namespace lumo
