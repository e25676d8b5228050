#include "shade/complete_hit.h"

#include <cmath>

#include "scene/mesh_store.h"
#include "scene/material.h"

namespace lumo {

namespace {

struct MeshCorners {
    const uint32_t* index;
    Vec3 a, b, c;
};

MeshCorners meshCorners(const HitRecord& hit) {
    const MeshStore& m = *hit.object->faces.store;
    const uint32_t* i = m.triangle(hit.triangle);
    return {i, m.positions[i[0]], m.positions[i[1]], m.positions[i[2]]};
}

// The point (u, v) of the hit triangle: on its plane, whatever the ray's rounding.
Vec3 meshPoint(const MeshCorners& t, const HitRecord& hit) {
    return add(t.a, add(scale(hit.u, sub(t.b, t.a)), scale(hit.v, sub(t.c, t.a))));
}

// Mesh triangles have two sides. An opaque one is lit on the side the ray arrives from: both its
// normals turn towards the ray. Glass tells entering from leaving by the winding, so its geometric
// normal stays as wound and the smooth normal takes its side.
[[gnu::noinline]] void completeMeshHit(const Vec3& direction, HitRecord& hit) {
    const MeshFaces& f = hit.object->faces;
    const MeshCorners t = meshCorners(hit);
    hit.position = meshPoint(t, hit);
    const bool glass = hit.object->material && hit.object->material->transmission != 0.0f;
    Vec3 g = normalize(cross(sub(t.b, t.a), sub(t.c, t.a)));
    if (!glass && dot(g, direction) > 0.0) g = negate(g);
    Vec3 n = g;
    if (f.smooth) {
        const Vec3* normals = f.store->normals.data();
        const Vec3 &n0 = normals[t.index[0]], &n1 = normals[t.index[1]], &n2 = normals[t.index[2]];
        const Vec3 s = add(n0, add(scale(hit.u, sub(n1, n0)), scale(hit.v, sub(n2, n0))));
        if (dot(s, s) > 0.0) {  // a triangle of the part without normals has zeros there: flat
            n = normalize(s);
            if (glass ? dot(n, g) < 0.0 : dot(n, direction) > 0.0) n = negate(n);
        }
    }
    hit.normal = n;
}

Vec3 worldPoint(const Vec3& origin, const Vec3& direction, float distance) {
    return add(origin, scale(distance, direction));
}

Vec3 transformedNormal(const ShapeTransform* t, const Vec3& local) {
    return normalize(transformDirection(local, t->matrix));
}

float sweepOrFullCircle(float sweep) { return sweep != 0.0f ? sweep : kTwoPi; }

// b*(a*c3 + (1-a)*cB) + (1-b)*(a*cA + (1-a)*c0) for s and t; cA, cB are corner indices.
void bilinearCorners(const TextureCorners& c, int cA, int cB, float a, float b, HitRecord& hit) {
    hit.texS = b * (a * c.s[3] + (1.0f - a) * c.s[cB]) + (1.0f - b) * (a * c.s[cA] + (1.0f - a) * c.s[0]);
    hit.texT = b * (a * c.t[3] + (1.0f - a) * c.t[cB]) + (1.0f - b) * (a * c.t[cA] + (1.0f - a) * c.t[0]);
}

const TextureCorners* cornersOf(const ShapeTransform* t) { return t ? t->textureCorners : nullptr; }

// Shapes parameterised along (a, b) (1, 3, 6): (a, b) plain, or bilinear in (a, b) with cA = c1, cB = c2.
void edgeCoords(const TextureCorners* table, float a, float b, HitRecord& hit) {
    if (table) {
        bilinearCorners(*table, 1, 2, a, b, hit);
    } else {
        hit.texS = a;
        hit.texT = b;
    }
}

// Latitude-longitude style shapes (7, 8, 9, 10): (v, u) plain, or bilinear in (u, v) with cA = c2, cB = c1.
void angularCoords(const TextureCorners* table, HitRecord& hit) {
    if (table) {
        bilinearCorners(*table, 2, 1, hit.u, hit.v, hit);
    } else {
        hit.texS = hit.v;
        hit.texT = hit.u;
    }
}

}  // namespace

void completeHit(const Vec3& origin, const Vec3& direction, HitRecord& hit) {
    const SceneObject& o = *hit.object;
    switch (o.type) {
        case kTriangle:
        case kParallelogram: {
            const SurfaceAttributes* attributes = o.patch.attributes;
            if (attributes && attributes->vertexNormals) {
                const Vec3* n = attributes->vertexNormals;
                hit.normal = normalize(
                    add(n[0], add(scale(hit.u, sub(n[1], n[0])), scale(hit.v, sub(n[2], n[0])))));
            } else {
                hit.normal = o.patch.normal;
            }
            break;
        }
        case kSphere:
            hit.position = worldPoint(origin, direction, hit.distance);
            hit.normal = normalize(sub(hit.position, o.sphere.centre));
            break;
        case kRevolved: {
            const Vec3& p = hit.position;  // local
            // The surface parameters from the local point: the near-root test leaves them unset, and
            // the both-roots test sets the same values.
            hit.u = polarAngle(p.x, p.y);
            hit.v = p.z;
            hit.normal = transformedNormal(o.revolved.normalTransform, {p.x, p.y, (1.0f - p.z) * o.revolved.taper});
            hit.position = worldPoint(origin, direction, hit.distance);
            break;
        }
        case kDisc:
            hit.normal = o.disc.normal;
            break;
        case kTorus:
            hit.position = worldPoint(origin, direction, hit.distance);
            hit.normal = transformedNormal(o.torus.normalTransform, hit.normal);
            break;
        case kSphereSection:
            hit.position = worldPoint(origin, direction, hit.distance);
            hit.normal = normalize(sub(hit.position, o.section.centre));
            break;
        case kParaboloid: {
            const Vec3& p = hit.position;  // local
            hit.normal = transformedNormal(o.paraboloid.normalTransform, {2.0f * p.x, 2.0f * p.y, -1.0f});
            hit.position = worldPoint(origin, direction, hit.distance);
            break;
        }
        case kEllipsoidSection:
            hit.normal = transformedNormal(o.ellipsoid.normalTransform, hit.position);  // local point = local normal
            hit.position = worldPoint(origin, direction, hit.distance);
            break;
        case kDiscSector:
            hit.normal = o.sector.normal;
            break;
        case kMeshFaces: completeMeshHit(direction, hit); break;
    }
}

Vec3 hitPoint(const Vec3& origin, const Vec3& direction, const HitRecord& hit) {
    switch (hit.object->type) {
        case kTriangle:
        case kParallelogram:
        case kDisc:
        case kDiscSector: return hit.position;
        case kMeshFaces: return meshPoint(meshCorners(hit), hit);
        case kSphere:
        case kRevolved:
        case kTorus:
        case kSphereSection:
        case kParaboloid:
        case kEllipsoidSection: break;
    }
    return worldPoint(origin, direction, hit.distance);
}

void computeTextureCoords(HitRecord& hit) {
    const SceneObject& o = *hit.object;
    switch (o.type) {
        case kTriangle: {
            const SurfaceAttributes* attributes = o.patch.attributes;
            const TextureCorners* c = attributes ? attributes->textureCorners : nullptr;
            if (c) {
                hit.texS = c->s[0] + hit.u * (c->s[1] - c->s[0]) + hit.v * (c->s[2] - c->s[0]);
                hit.texT = c->t[0] + hit.u * (c->t[1] - c->t[0]) + hit.v * (c->t[2] - c->t[0]);
            } else {
                hit.texS = hit.u;
                hit.texT = hit.v;
            }
            break;
        }
        case kParallelogram: {
            const SurfaceAttributes* attributes = o.patch.attributes;
            edgeCoords(attributes ? attributes->textureCorners : nullptr, hit.u, hit.v, hit);
            break;
        }
        case kRevolved: {
            hit.u /= sweepOrFullCircle(o.revolved.sweep);
            edgeCoords(cornersOf(o.revolved.normalTransform), hit.u, hit.v, hit);
            break;
        }
        case kTorus: {
            const Torus& t = o.torus;
            hit.v /= sweepOrFullCircle(t.sweep);
            if (t.tubeStart < 0.0f && hit.u - kTwoPi >= t.tubeStart) hit.u -= kTwoPi;
            hit.u = (hit.u - t.tubeStart) / (t.tubeEnd - t.tubeStart);
            edgeCoords(cornersOf(t.normalTransform), hit.v, hit.u, hit);
            break;
        }
        case kSphereSection: {
            const SphereSection& s = o.section;
            hit.v /= sweepOrFullCircle(s.sweep);
            hit.u = (hit.u - s.latitudeMin) / (s.latitudeMax - s.latitudeMin);
            angularCoords(cornersOf(s.localToWorld), hit);
            break;
        }
        case kEllipsoidSection: {
            const EllipsoidSection& e = o.ellipsoid;
            hit.v /= sweepOrFullCircle(e.sweep);
            hit.u = (hit.u - e.latitudeMin) / (e.latitudeMax - e.latitudeMin);
            angularCoords(cornersOf(e.normalTransform), hit);
            break;
        }
        case kParaboloid:
            hit.v /= sweepOrFullCircle(o.paraboloid.sweep);
            hit.u = std::sqrt(hit.u);
            angularCoords(cornersOf(o.paraboloid.normalTransform), hit);
            break;
        case kDiscSector: {
            const DiscSector& d = o.sector;
            hit.v /= sweepOrFullCircle(d.sweep);
            const float inner = std::sqrt(d.innerRadiusSquared);
            hit.u = (std::sqrt(hit.u) - inner) / (std::sqrt(d.outerRadiusSquared) - inner);
            angularCoords(nullptr, hit);
            break;
        }
        case kMeshFaces: {
            const MeshFaces& f = o.faces;
            if (f.textured) {
                const uint32_t* i = f.store->triangle(hit.triangle);
                const float* st = f.store->texcoords.data();
                const float s0 = st[2 * i[0]], t0 = st[2 * i[0] + 1];
                hit.texS = s0 + hit.u * (st[2 * i[1]] - s0) + hit.v * (st[2 * i[2]] - s0);
                hit.texT = t0 + hit.u * (st[2 * i[1] + 1] - t0) + hit.v * (st[2 * i[2] + 1] - t0);
            } else {
                hit.texS = hit.u;
                hit.texT = hit.v;
            }
            break;
        }
        case kSphere:  // the intersection left their coordinates
        case kDisc: break;
    }
}

}  // namespace lumo
