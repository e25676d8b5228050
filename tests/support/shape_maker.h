// Random objects of every shape kind, for tests of the trees over them.
#pragma once

#include <random>

#include "scene/scene.h"

namespace lumo::test {

constexpr ShapeType kKinds[10] = {kTriangle, kParallelogram, kSphere,     kRevolved,         kDisc,
                                 kTorus,    kSphereSection, kParaboloid, kEllipsoidSection, kDiscSector};

struct Shapes {
    std::mt19937 rng{7};
    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
    Vec3 point(float r) { return {uniform(-r, r), uniform(-r, r), uniform(-r, r)}; }
    Vec3 direction() { return normalize(point(1.0f)); }
    Matrix34 placement(const Vec3& at) {
        Matrix34 m;
        setIdentity(m);
        scaleBy(m, uniform(0.04f, 0.2f), uniform(0.04f, 0.2f), uniform(0.04f, 0.2f));
        rotateX(m, uniform(0, 6));
        rotateY(m, uniform(0, 6));
        rotateZ(m, uniform(0, 6));
        translateBy(m, at.x, at.y, at.z);
        return m;
    }

    // One object of `kind` near `at`, with random size, pose and limits.
    SceneObject& add(Scene& s, ShapeType kind, const Vec3& at) {
        SceneObject& o = s.newObject();
        const Matrix34 toLocal = inverse(placement(at));
        const float sweep = uniform(0, 1) < 0.5f ? 0.0f : uniform(1, 6);
        switch (kind) {
            case kTriangle:
            case kParallelogram:
                initPlanarPatch(o);
                o.type = kind;
                o.patch.origin = at;
                o.patch.edgeA = point(0.15f);
                o.patch.edgeB = point(0.15f);
                prepareParallelogram(o);
                break;
            case kSphere:
                initSphere(o);
                o.sphere = {at, uniform(0.002f, 0.02f)};
                break;
            case kRevolved:
                initRevolvedShape(o);
                o.revolved.worldToLocal = toLocal;
                o.revolved.taper = uniform(-1.0f, 1.5f);
                o.revolved.sweep = sweep;
                break;
            case kTorus:
                initTorus(o);
                o.torus.worldToLocal = toLocal;
                o.torus.majorRadius = uniform(0.5f, 1.0f);
                o.torus.minorRadius = uniform(0.1f, 0.5f);
                break;
            case kSphereSection:
                initSphereSection(o);
                o.section.centre = at;
                o.section.radiusSquared = uniform(0.002f, 0.02f);
                o.section.worldToLocal = toLocal;
                o.section.sweep = sweep;
                o.section.latitudeMin = uniform(-1.5f, 0.0f);
                break;
            case kParaboloid:
                initEllipsoidSection(o);  // header defaults; the payload is set whole
                o.type = kParaboloid;
                o.paraboloid = {toLocal, sweep, uniform(0.2f, 2.0f), nullptr};
                break;
            case kEllipsoidSection:
                initEllipsoidSection(o);
                o.ellipsoid.worldToLocal = toLocal;
                o.ellipsoid.sweep = sweep;
                o.ellipsoid.latitudeMax = uniform(0.0f, 1.5f);
                break;
            case kDisc:  // disc or disc sector, with a normal of any length
            case kDiscSector:
                initDisc(o);
                o.type = kind;
                if (kind == kDisc)
                    o.disc = {at, scale(uniform(0.5f, 2.0f), direction()), uniform(0.002f, 0.04f), 0.001f};
                else
                    o.sector = {toLocal, sweep, at, direction(), uniform(0.002f, 0.04f), 0.001f};
                break;
            case kMeshFaces: break;  // not a shape of its own
        }
        return o;
    }
    void addMixed(Scene& s, int count, float spread) {
        for (int i = 0; i < count; ++i) add(s, kKinds[i % 10], point(spread));
    }
};

// Adds `count` random mesh triangles within `spread` of the origin to the scene's meshes, as one part
// of material m; neighbours share corners along a strip, so that rays meet shared edges.
inline SceneObject& addRandomMesh(Scene& s, Shapes& g, int count, float spread, const Material* m) {
    SceneObject& part = s.newMeshPart(m, 0);
    MeshStore& store = s.meshes;
    uint32_t strip[2] = {0, 0};
    for (int i = 0; i < count; ++i) {
        const bool start = i % 8 == 0;
        if (start) {
            const Vec3 c = g.point(spread);
            for (uint32_t& v : strip) {
                v = static_cast<uint32_t>(store.positions.size());
                store.positions.push_back(add(c, g.point(0.15f)));
            }
        }
        const uint32_t next = static_cast<uint32_t>(store.positions.size());
        store.positions.push_back(add(store.positions[strip[1]], g.point(0.15f)));
        store.corners.insert(store.corners.end(), {strip[0], strip[1], next});
        store.parts.push_back(static_cast<uint16_t>(part.faces.part));
        ++part.faces.triangleCount;
        strip[0] = strip[1], strip[1] = next;
    }
    return part;
}

}  // namespace lumo::test
