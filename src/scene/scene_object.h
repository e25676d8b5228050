// Scene primitives: a common header, a payload selected by the 16-bit type code, attachments and lists.
#pragma once

#include <cstdint>

#include "core/matrix34.h"
#include "core/random.h"
#include "core/vec3.h"
#include "scene/material.h"

namespace lumo {

struct PhotonQuadNode;
struct MeshStore;

enum ShapeType : uint16_t {
    kTriangle = 0,
    kParallelogram = 1,
    kSphere = 2,
    kRevolved = 3,  // cylinder or cone
    kDisc = 5,
    kTorus = 6,
    kSphereSection = 7,
    kParaboloid = 8,
    kEllipsoidSection = 9,
    kDiscSector = 10,
    kMeshFaces = 11,  // the faces of a mesh with one material, kept in the scene's MeshStore
};
// The code of an object no builder has set: no routine hits it. Not an enumerator, so switches over
// the shapes need not list it; every switch handles codes without a case after it.
inline constexpr ShapeType kNoShape = static_cast<ShapeType>(0xFFFF);

enum ObjectFlags : uint16_t {
    kOneSided = 0x0004,
    kHiddenFromCamera = 0x0040,
    kFlipNormal = 0x0100,
    kSqrtEmitter = 0x0200,
    kNoShadowCast = 0x0400,
    kNoShadowTest = 0x0800,
    kCheckered = 0x1000,
    // Set by the mesh reader on mesh parts whose store has vertex colours; never read from or written
    // to scene files.
    kVertexColours = 0x2000,
};

inline constexpr size_t kCacheLine = 64;

// Texture corners: three (s, t) pairs for triangles, four for the other shapes.
struct TextureCorners {
    float s[4];
    float t[4];
};

struct ShapeTransform {
    Matrix34 matrix;
    const TextureCorners* textureCorners = nullptr;
};

struct SurfaceAttributes {
    const Vec3* vertexNormals = nullptr;  // three normals at P0, P0+edgeA, P0+edgeB; null = flat
    const TextureCorners* textureCorners = nullptr;
};

struct PlanarPatch {  // codes 0 and 1
    Vec3 origin;
    Vec3 edgeA;
    Vec3 edgeB;
    Vec3 normal;               // derived by prepareParallelogram
    float inverseDeterminant;  // derived
    const SurfaceAttributes* attributes;
    uint16_t solveCase;        // derived, 0..5
    PhotonQuadNode* photonTree;
};

struct Sphere {  // code 2
    Vec3 centre;
    float radiusSquared;
};

struct RevolvedShape {  // code 3: x^2 + y^2 = (1 - taper*z)^2, 0 <= z <= 1
    Matrix34 worldToLocal;
    float sweep;
    float taper;
    ShapeTransform* normalTransform;
};

struct Disc {  // code 5
    Vec3 centre;
    Vec3 normal;
    float outerRadiusSquared;
    float innerRadiusSquared;
};

struct Torus {  // code 6
    Matrix34 worldToLocal;
    float sweep;
    float tubeStart;
    float tubeEnd;
    float majorRadius;
    float minorRadius;
    ShapeTransform* normalTransform;
};

struct SphereSection {  // code 7
    Matrix34 worldToLocal;
    float sweep;
    float latitudeMin;
    float latitudeMax;
    Vec3 centre;
    float radiusSquared;
    ShapeTransform* localToWorld;
};

struct Paraboloid {  // code 8: z = x^2 + y^2, z <= heightMax
    Matrix34 worldToLocal;
    float sweep;
    float heightMax;
    ShapeTransform* normalTransform;
};

struct EllipsoidSection {  // code 9: the unit sphere in a local frame
    Matrix34 worldToLocal;
    float sweep;
    float latitudeMin;
    float latitudeMax;
    ShapeTransform* normalTransform;
};

struct DiscSector {  // code 10
    Matrix34 worldToLocal;
    float sweep;
    Vec3 centre;
    Vec3 normal;
    float outerRadiusSquared;
    float innerRadiusSquared;
};

struct MeshFaces {  // code 11: stands for its triangles in shading; never in a tree itself
    const MeshStore* store;
    uint32_t part;           // the triangles whose part number this is
    uint32_t triangleCount;
    bool smooth;             // interpolate the store's vertex normals
    bool textured;           // the store's texture coordinates apply
};

struct alignas(kCacheLine) SceneObject {
    ShapeType type = kNoShape;
    uint16_t flags = 0;
    uint32_t index = 0;  // position in the scene's object list; keys per-object arrays of views and workers
    const Material* material = nullptr;
    uint32_t leafCount = 0;  // leaves of the tree that list it; in one only, camera rays skip the mailbox
    union {
        PlanarPatch patch;
        Sphere sphere;
        RevolvedShape revolved;
        Disc disc;
        Torus torus;
        SphereSection section;
        Paraboloid paraboloid;
        EllipsoidSection ellipsoid;
        DiscSector sector;
        MeshFaces faces;
    };
    SceneObject() : patch{} {}
};

// Constructors: header defaults (flags 0, material null) and payload defaults; the index stays.
// initPlanarPatch leaves `type` for the builder (0 or 1); the others set it.
void initPlanarPatch(SceneObject& o);
void initSphere(SceneObject& o);
void initRevolvedShape(SceneObject& o);
void initDisc(SceneObject& o);
void initTorus(SceneObject& o);
void initSphereSection(SceneObject& o);
void initEllipsoidSection(SceneObject& o);
void initParaboloid(SceneObject& o);
void initDiscSector(SceneObject& o);

// Derives normal, solveCase and inverseDeterminant from edgeA and edgeB.
void prepareParallelogram(SceneObject& o);

// A random point on the surface (emitter sampling), drawn from rng.
Vec3 sampleSurfacePoint(const SceneObject& o, Random& rng);
// Unit normal at a point of the surface, as emitter sampling needs it.
Vec3 surfaceNormalAt(const SceneObject& o, const Vec3& p);

}  // namespace lumo
