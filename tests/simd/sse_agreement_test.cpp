// The SSE twins against the portable routines on random rays: identical results (distance, edge
// coordinates, hit point) except in the boundary cases where the two contracts differ.
#include <random>

#include "simd_test_util.h"

namespace lumo::test {
namespace {

#if defined(__SSE__)

class RandomRays {
public:
    explicit RandomRays(uint32_t seed) : gen_(seed) {}
    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen_); }
    Vec3 point(float lo, float hi) { return {uniform(lo, hi), uniform(lo, hi), uniform(lo, hi)}; }
    bool coin() { return uniform(0.0f, 1.0f) < 0.5f; }

private:
    std::mt19937 gen_;
};

Vec3 pointOnPatch(const SceneObject& o, float s, float r) {
    return add(o.patch.origin, add(scale(s, o.patch.edgeA), scale(r, o.patch.edgeB)));
}

// The portable result lies on a boundary where the tuned contract differs: t = 0 left in the record,
// or a hit exactly on a far edge.
bool patchBoundary(const SceneObject& o, const HitRecord& portable) {
    if (portable.distance == 0.0f) return true;
    if (portable.distance < 0.0f) return false;
    if (o.type == kTriangle) return portable.u + portable.v == 1.0f;
    return portable.u == 1.0f || portable.v == 1.0f;
}

struct Tally {
    int hits = 0;
    int misses = 0;
    int boundary = 0;
};

void expectSamePatchResult(const SceneObject& o, const HitRecord& portable, const HitRecord& sse, Tally& tally) {
    if (patchBoundary(o, portable)) {
        ++tally.boundary;
        return;
    }
    const bool portableHit = portable.distance > 0.0f;
    ASSERT_EQ(portableHit, sse.distance >= 0.0f) << "portable " << portable.distance << " sse " << sse.distance;
    if (!portableHit) {
        ++tally.misses;
        return;
    }
    ++tally.hits;
    EXPECT_EQ(portable.distance, sse.distance);
    EXPECT_EQ(portable.u, sse.u);
    EXPECT_EQ(portable.v, sse.v);
    EXPECT_EQ(portable.position.x, sse.position.x);
    EXPECT_EQ(portable.position.y, sse.position.y);
    EXPECT_EQ(portable.position.z, sse.position.z);
}

SceneObject randomPatch(RandomRays& rng, uint16_t type) {
    for (;;) {
        SceneObject o = makePatch(type, rng.point(-1, 1), rng.point(-1.5f, 1.5f), rng.point(-1.5f, 1.5f),
                                    rng.coin() ? kOneSided : 0);
        if (length(cross(o.patch.edgeA, o.patch.edgeB)) > 0.05) return o;
    }
}

TEST(SseAgreement, TrianglesAndParallelogramsOnRandomRaysBothForms) {
    RandomRays rng(2024);
    for (uint16_t type : {kTriangle, kParallelogram}) {
        Tally general, cameraTally;
        for (int shape = 0; shape < 300; ++shape) {
            SceneObject o = randomPatch(rng, type);
            const Vec3 origin = rng.point(-4, 4);
            CameraFrame frame(origin, {&o});
            for (int k = 0; k < 40; ++k) {
                // Aim at the shape's plane, inside and around it, so both hits and misses are common.
                const Vec3 target = pointOnPatch(o, rng.uniform(-0.3f, 1.3f), rng.uniform(-0.3f, 1.3f));
                const Vec3 direction = normalize(sub(target, origin));
                expectSamePatchResult(o, portableGeneral(o, origin, direction), sseGeneral(o, origin, direction),
                                      general);
                const HitRecord portable = cameraHit(frame, o, direction, false);
                expectSamePatchResult(o, portable, cameraHit(frame, o, direction, true), cameraTally);
            }
        }
        for (const Tally& t : {general, cameraTally}) {
            EXPECT_GT(t.hits, 1000) << "type " << type;
            EXPECT_GT(t.misses, 3000) << "type " << type;
            EXPECT_LT(t.boundary, 5) << "type " << type;
        }
    }
}

TEST(SseAgreement, SpheresOnRandomRaysBothForms) {
    RandomRays rng(77);
    int hits = 0, misses = 0, boundary = 0;
    for (int shape = 0; shape < 300; ++shape) {
        const float radiusSquared = rng.uniform(0.05f, 2.0f);
        SceneObject o = makeSphere(rng.point(-1, 1), radiusSquared);
        const float radius = std::sqrt(radiusSquared);
        for (int k = 0; k < 40; ++k) {
            // Origins outside, inside and on the surface (as reflected rays start).
            Vec3 origin;
            const int kind = k % 3;
            if (kind == 0)
                origin = rng.point(-5, 5);
            else if (kind == 1)
                origin = add(o.sphere.centre, scale(0.5f * radius, normalize(rng.point(-1, 1))));
            else
                origin = add(o.sphere.centre, scale(radius, normalize(rng.point(-1, 1))));
            const Vec3 target = add(o.sphere.centre, scale(1.5f * radius, rng.point(-1, 1)));
            const Vec3 direction = normalize(sub(target, origin));

            // The portable arithmetic, to spot the cases where the contracts differ.
            const Vec3 oc = sub(origin, o.sphere.centre);
            const float b = oc.x * direction.x + oc.y * direction.y + oc.z * direction.z;
            const float disc = b * b - ((oc.x * oc.x + oc.y * oc.y + oc.z * oc.z) - radiusSquared);
            const float t1 = -b - std::sqrt(disc);
            const HitRecord portable = portableGeneral(o, origin, direction);
            const HitRecord sse = sseGeneral(o, origin, direction);
            if (disc == 0.0f || (disc > 0.0f && t1 >= 0.0001f && t1 <= 0.001f)) {
                ++boundary;
            } else {
                EXPECT_EQ(portable.distance, sse.distance);
                (portable.distance >= 0.0f ? hits : misses) += 1;
            }

            if (kind == 0) {  // camera form: the eye is the origin; no boundary differences at all
                CameraFrame frame(origin, {&o});
                EXPECT_EQ(cameraHit(frame, o, direction, false).distance,
                          cameraHit(frame, o, direction, true).distance);
            }
        }
    }
    EXPECT_GT(hits, 5000);
    EXPECT_GT(misses, 1000);
    EXPECT_LT(boundary, 50);
}

#endif

}  // namespace
}  // namespace lumo::test
