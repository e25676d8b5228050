// The scene's mesh triangles in compact form: one shared vertex array (with vertex normals and texture
// coordinates and colours where some mesh has them), three vertex indices per triangle and the part each triangle
// belongs to. A part is one kMeshFaces object: material, flags and whether its normals are smooth.
// The BVH build reorders the triangles into its leaf order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/vec3.h"

namespace lumo {

struct SceneObject;

struct MeshStore {
    std::vector<Vec3> positions;     // world coordinates
    std::vector<Vec3> normals;       // unit, by vertex; empty when no mesh has them
    std::vector<float> texcoords;    // (s, t) by vertex; empty when no mesh has them
    std::vector<Vec3> colours;       // colour factors by vertex; empty when no mesh has them (white where not given)
    std::vector<uint32_t> corners;   // three vertex indices per triangle
    std::vector<uint16_t> parts;     // per triangle, into `objects`
    std::vector<SceneObject*> objects;  // the kMeshFaces object of each part

    size_t triangleCount() const { return parts.size(); }
    size_t bytes() const {
        return positions.size() * sizeof(Vec3) + normals.size() * sizeof(Vec3) + texcoords.size() * sizeof(float) +
               colours.size() * sizeof(Vec3) +
               corners.size() * sizeof(uint32_t) + parts.size() * sizeof(uint16_t) +
               objects.size() * sizeof(SceneObject*);
    }
    const uint32_t* triangle(uint32_t t) const { return &corners[size_t{3} * t]; }
    SceneObject* object(uint32_t t) const { return objects[parts[t]]; }
    // Puts triangle order[i] at position i.
    void reorder(const std::vector<uint32_t>& order);
};

// Most parts a scene's meshes may have (their number is kept in 16 bits per triangle).
inline constexpr size_t kMaxMeshParts = 65535;

}  // namespace lumo
