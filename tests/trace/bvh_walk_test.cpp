// The BVH walks against loops over every primitive, on random and closed meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "core/random.h"
#include "scene/bvh.h"
#include "trace/traverse.h"

namespace lumo {
namespace {

float u(Random& rng) { return static_cast<float>(rng.next()); }

uint32_t bitsOf(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// A sphere of radius about 1 about `centre`: an octahedron cut 2^levels times along each edge and
// pushed out to the sphere, bumped by `bump`; closed, every edge shared by two triangles.
void closedMesh(Scene& scene, SceneObject& part, Vec3 centre, int levels, float bump) {
    MeshStore& m = scene.meshes;
    const uint32_t base = static_cast<uint32_t>(m.positions.size());
    const int n = 1 << levels;
    // Vertices on the octahedron's faces by (i, j) coordinates in each face; shared along edges by
    // looking them up by their exact unnormalised position.
    auto vertexAt = [&](Vec3 p) {
        for (uint32_t v = base; v < m.positions.size(); ++v)
            if (m.normals[v].x == p.x && m.normals[v].y == p.y && m.normals[v].z == p.z) return v;
        const double len = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
        const float r = static_cast<float>(1.0 + bump * std::sin(7.0 * p.x) * std::cos(5.0 * p.y));
        m.positions.push_back(add(centre, scaleByDouble(r / len, p)));
        m.normals.push_back(p);  // the key while building; replaced below
        return static_cast<uint32_t>(m.positions.size() - 1);
    };
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int face = 0; face < 8; ++face) {
        const Vec3 a = scale(face & 1 ? -1.0f : 1.0f, axes[0]), b = scale(face & 2 ? -1.0f : 1.0f, axes[1]),
                   c = scale(face & 4 ? -1.0f : 1.0f, axes[2]);
        auto at = [&](int i, int j) {  // a + (b - a) i/n + (c - a) j/n, exact in binary fractions
            const float fi = float(i) / float(n), fj = float(j) / float(n), fa = 1.0f - fi - fj;
            return vertexAt(add(add(scale(fa, a), scale(fi, b)), scale(fj, c)));
        };
        for (int i = 0; i < n; ++i)
            for (int j = 0; i + j < n; ++j) {
                const uint32_t tri[2][3] = {{at(i, j), at(i + 1, j), at(i, j + 1)}, {at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}};
                for (int k = 0; k < (i + j + 1 < n ? 2 : 1); ++k) {
                    m.corners.insert(m.corners.end(), tri[k], tri[k] + 3);
                    m.parts.push_back(static_cast<uint16_t>(part.faces.part));
                    ++part.faces.triangleCount;
                }
            }
    }
    for (uint32_t v = base; v < m.positions.size(); ++v) m.normals[v] = normalize(sub(m.positions[v], centre));
}

struct MeshScene {
    std::unique_ptr<Scene> owned = std::make_unique<Scene>();
    Scene& scene = *owned;
    Material* material = &scene.newMaterial("Clay");

    SceneObject& part(uint16_t flags = 0) { return scene.newMeshPart(material, flags); }
    void randomTriangles(SceneObject& p, int count, Random& rng) {
        MeshStore& m = scene.meshes;
        for (int i = 0; i < count; ++i) {
            const Vec3 c{u(rng) * 4 - 2, u(rng) * 4 - 2, u(rng) * 4 - 2};
            for (int k = 0; k < 3; ++k) {
                m.corners.push_back(static_cast<uint32_t>(m.positions.size()));
                m.positions.push_back(add(c, {u(rng) * 0.6f - 0.3f, u(rng) * 0.6f - 0.3f, u(rng) * 0.6f - 0.3f}));
                m.normals.push_back({0, 0, 1});
            }
            m.parts.push_back(static_cast<uint16_t>(p.faces.part));
            ++p.faces.triangleCount;
        }
    }
};

// The nearest mesh triangle along the ray by testing every one, with the walk's self-hit rule.
HitRecord nearestByLoop(const Scene& s, const Vec3& o, const Vec3& d, const SceneObject* exclude) {
    HitRecord best{};
    best.distance = -1.0f;
    const ShearedRay r = shearRay(o, d);
    for (uint32_t t = 0; t < s.meshes.triangleCount(); ++t) {
        const uint32_t* i = s.meshes.triangle(t);
        const TriangleHit h = intersectWatertight(r, s.meshes.positions[i[0]], s.meshes.positions[i[1]], s.meshes.positions[i[2]]);
        if (h.distance < 0.0f || (s.meshes.object(t) == exclude && h.distance < 0.0001f)) continue;
        if (best.distance < 0.0f || h.distance < best.distance) best.distance = h.distance, best.triangle = t;
    }
    return best;
}

Vec3 randomDirection(Random& rng) {
    for (;;) {
        const Vec3 d{u(rng) * 2 - 1, u(rng) * 2 - 1, u(rng) * 2 - 1};
        const double l = length(d);
        if (l > 0.1 && l < 1.0) return scaleByDouble(1.0 / l, d);
    }
}

TEST(BvhWalk, NearestAndOcclusionMatchALoopOverEveryTriangle) {
    MeshScene m;
    Random rng;
    rng.seed(7);
    SceneObject& a = m.part();
    SceneObject& b = m.part();
    m.randomTriangles(a, 300, rng);
    closedMesh(m.scene, b, {0.5f, 0.0f, 0.0f}, 3, 0.1f);
    // The loop's answers before the build reorders the triangles.
    struct Query {
        Vec3 o, d;
        float distance;
    };
    std::vector<Query> queries;
    for (int i = 0; i < 3000; ++i) {
        const Vec3 o{u(rng) * 6 - 3, u(rng) * 6 - 3, u(rng) * 6 - 3};
        const Vec3 d = randomDirection(rng);
        queries.push_back({o, d, nearestByLoop(m.scene, o, d, nullptr).distance});
    }
    buildBvh(m.scene, 2);
    int hits = 0;
    for (const Query& q : queries) {
        HitRecord byScalar{};
        for (bool scalar : {true, false}) {
            HitRecord got{};
            got.distance = -1.0f;
            traverseNearest(m.scene, q.o, q.o, q.d, got, nullptr, scalar);
            ASSERT_EQ(got.distance, q.distance);
            if (q.distance < 0.0f) continue;
            // A leaf's triangles at once in SSE give the scalar test's record bit for bit.
            if (scalar) byScalar = got;
            EXPECT_EQ(got.triangle, byScalar.triangle);
            EXPECT_EQ(bitsOf(got.u), bitsOf(byScalar.u));
            EXPECT_EQ(bitsOf(got.v), bitsOf(byScalar.v));
            EXPECT_EQ(got.object, m.scene.meshes.object(got.triangle));
            EXPECT_GT(traverseOcclusion(m.scene, q.o, q.d, q.distance * 1.5f, nullptr, nullptr, scalar), 0.0f);
            if (q.distance > 0.0f) {
                EXPECT_LE(traverseOcclusion(m.scene, q.o, q.d, q.distance * 0.5f, nullptr, nullptr, scalar), 0.0f);
            }
        }
        hits += q.distance >= 0.0f;
    }
    EXPECT_GT(hits, 200);
}

// Rays aimed at the corners and edge midpoints of a closed mesh, from outside and from its centre,
// all meet it: none slips between two triangles.
TEST(BvhWalk, RaysAtSharedEdgesAndCornersOfAClosedMeshNeverSlipThrough) {
    MeshScene m;
    SceneObject& p = m.part();
    const Vec3 centre{0.1f, -0.2f, 0.3f};
    closedMesh(m.scene, p, centre, 3, 0.0f);
    buildBvh(m.scene, 1);
    const MeshStore& s = m.scene.meshes;
    Random rng;
    rng.seed(3);
    int rays = 0;
    for (uint32_t t = 0; t < s.triangleCount(); ++t) {
        const uint32_t* i = s.triangle(t);
        for (int k = 0; k < 3; ++k) {
            const Vec3& a = s.positions[i[k]];
            const Vec3& b = s.positions[i[(k + 1) % 3]];
            const Vec3 targets[2] = {a, scale(0.5f, add(a, b))};
            for (const Vec3& target : targets) {
                // Outside, roughly above the target: never on the silhouette, where a ray may graze past.
                const Vec3 above = add(add(target, scale(3.0f, normalize(sub(target, centre)))), scale(0.5f, randomDirection(rng)));
                const Vec3 from[2] = {centre, above};
                for (const Vec3& o : from) {
                    const Vec3 d = normalize(sub(target, o));
                    HitRecord h{};
                    h.distance = -1.0f;
                    traverseNearest(m.scene, o, o, d, h, nullptr, false);
                    ASSERT_GE(h.distance, 0.0f) << "triangle " << t << " corner " << k;
                    ASSERT_GT(traverseOcclusion(m.scene, o, d, 10.0f, nullptr, nullptr, false), 0.0f);
                    ++rays;
                }
            }
        }
    }
    EXPECT_GT(rays, 3000);
}

// Two triangles sharing the edge b c, which passes the z axis so closely that the edge function of
// the ray along it rounds to zero in float (exactly it is -2^-46 for the first, +2^-46 for the second):
// the test decides in double, so only the second is hit, in SSE as by the scalar test.
TEST(BvhWalk, AnEdgeFunctionRoundedToZeroIsDecidedExactly) {
    MeshStore s;
    const float e22 = std::ldexp(1.0f, -22), e23 = std::ldexp(1.0f, -23);
    s.positions = {{1 + e22, 1 + e23, 1}, {-(1 + e23), -1, 1}, {-1, 1, 1}, {1, -1, 1}};
    s.corners = {2, 0, 1, 3, 1, 0};
    const ShearedRay r = shearRay({0, 0, 0}, {0, 0, 1});
    alignas(16) float d[kBvhWidth], u[kBvhWidth], v[kBvhWidth];
    EXPECT_EQ(detail::leafHitsScalar(s, r, 0, 2, d, u, v), 2u);
    EXPECT_EQ(detail::leafHitsSse(s, r, 0, 2, d, u, v), 2u);
    EXPECT_EQ(d[1], 1.0f);
}

}  // namespace
}  // namespace lumo
