#include "scene/scene_object.h"

#include <cmath>

namespace lumo {

namespace {

// Header defaults shared by every constructor; `type` is left to the caller.
void initHeader(SceneObject& o) {
    o.flags = 0;
    o.material = nullptr;
}

Matrix34 identity() {
    Matrix34 m;
    setIdentity(m);
    return m;
}

}  // namespace

void initPlanarPatch(SceneObject& o) {
    initHeader(o);
    o.patch = PlanarPatch{};
    o.patch.attributes = nullptr;
    o.patch.photonTree = nullptr;
}

void initSphere(SceneObject& o) {
    initHeader(o);
    o.type = kSphere;
    o.sphere = Sphere{};
    o.sphere.radiusSquared = 1.0f;
}

void initRevolvedShape(SceneObject& o) {
    initHeader(o);
    o.type = kRevolved;
    o.revolved = RevolvedShape{};
    o.revolved.worldToLocal = identity();
    o.revolved.sweep = 0.0f;
    o.revolved.taper = 0.0f;
    o.revolved.normalTransform = nullptr;
}

void initDisc(SceneObject& o) {
    initHeader(o);
    o.type = kDisc;
    o.disc = Disc{};
    o.disc.outerRadiusSquared = 1.0f;
    o.disc.innerRadiusSquared = 0.0f;
}

void initTorus(SceneObject& o) {
    initHeader(o);
    o.type = kTorus;
    o.torus = Torus{};
    o.torus.worldToLocal = identity();
    o.torus.sweep = 0.0f;
    o.torus.tubeStart = 0.0f;
    o.torus.tubeEnd = kTwoPi;
    o.torus.majorRadius = 1.0f;
    o.torus.minorRadius = 0.5f;
    o.torus.normalTransform = nullptr;
}

void initSphereSection(SceneObject& o) {
    initHeader(o);
    o.type = kSphereSection;
    o.section = SphereSection{};
    o.section.worldToLocal = identity();
    o.section.sweep = 0.0f;
    o.section.latitudeMin = -kHalfPi;
    o.section.latitudeMax = kHalfPi;
    o.section.radiusSquared = 1.0f;
    o.section.localToWorld = nullptr;
}

void initEllipsoidSection(SceneObject& o) {
    initHeader(o);
    o.type = kEllipsoidSection;
    o.ellipsoid = EllipsoidSection{};
    o.ellipsoid.worldToLocal = identity();
    o.ellipsoid.sweep = 0.0f;
    o.ellipsoid.latitudeMin = -kHalfPi;
    o.ellipsoid.latitudeMax = kHalfPi;
    o.ellipsoid.normalTransform = nullptr;
}

void initParaboloid(SceneObject& o) {
    initHeader(o);
    o.type = kParaboloid;
    o.paraboloid = Paraboloid{};
    o.paraboloid.worldToLocal = identity();
    o.paraboloid.sweep = 0.0f;
    o.paraboloid.heightMax = 1.0f;
    o.paraboloid.normalTransform = nullptr;
}

void initDiscSector(SceneObject& o) {
    initHeader(o);
    o.type = kDiscSector;
    o.sector = DiscSector{};
    o.sector.worldToLocal = identity();
    o.sector.sweep = 0.0f;
    o.sector.normal = {0.0f, 0.0f, 1.0f};
    o.sector.outerRadiusSquared = 1.0f;
    o.sector.innerRadiusSquared = 0.0f;
}

void prepareParallelogram(SceneObject& o) {
    PlanarPatch& p = o.patch;
    const Vec3 a = p.edgeA, b = p.edgeB;
    p.normal = normalize(cross(a, b));
    const double d0 = static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
    const double d1 = static_cast<double>(a.y) * b.z - static_cast<double>(a.z) * b.y;
    const double d2 = static_cast<double>(a.x) * b.z - static_cast<double>(a.z) * b.x;
    // Pick the coordinate plane and divisor with the largest |determinant * divisor|, so both
    // divisions of the hit solve stay well conditioned; ties keep the lower case.
    const double candidates[6] = {std::fabs(d0 * a.x), std::fabs(d1 * a.y), std::fabs(d2 * a.x),
                                  std::fabs(d0 * a.y), std::fabs(d1 * a.z), std::fabs(d2 * a.z)};
    int best = 0;
    for (int i = 1; i < 6; ++i)
        if (candidates[i] > candidates[best]) best = i;
    p.solveCase = static_cast<uint16_t>(best);
    const double d[3] = {d0, d1, d2};
    const double inv = 1.0 / d[best % 3];
    p.inverseDeterminant = static_cast<float>(best < 3 ? inv : -inv);
}

Vec3 sampleSurfacePoint(const SceneObject& o, Random& rng) {
    switch (o.type) {
    case kTriangle: {
        double u1 = rng.next();
        double u2 = rng.next();
        if (u1 + u2 > 1.0) {
            u1 = 1.0 - u1;
            u2 = 1.0 - u2;
        }
        const PlanarPatch& p = o.patch;
        return add(p.origin, add(scaleByDouble(u1, p.edgeA), scaleByDouble(u2, p.edgeB)));
    }
    case kParallelogram: {
        const double u1 = rng.next();
        const double u2 = rng.next();
        const PlanarPatch& p = o.patch;
        return add(p.origin, add(scaleByDouble(u2, p.edgeA), scaleByDouble(u1, p.edgeB)));
    }
    case kSphere:
        return add(o.sphere.centre,
                   scaleByDouble(std::sqrt(static_cast<double>(o.sphere.radiusSquared)), uniformSphereDirection(rng)));
    case kRevolved: {
        const RevolvedShape& r = o.revolved;
        const double sweep = r.sweep == 0.0f ? kTwoPi : r.sweep;
        const double phi = rng.next() * sweep;
        const double z = rng.next();
        const double h = 1.0 - z * r.taper;
        const Vec3 local{static_cast<float>(h * std::cos(phi)), static_cast<float>(h * std::sin(phi)),
                         static_cast<float>(z)};
        return transformPoint(local, inverse(r.worldToLocal));
    }
    case kDisc: {
        const Disc& d = o.disc;
        const double phi = rng.next() * kTwoPi;
        const double rho2 = rng.next() * (d.outerRadiusSquared - d.innerRadiusSquared) + d.innerRadiusSquared;
        const double rho = std::sqrt(rho2);
        const Vec3 t1 = perpendicular(d.normal);
        const Vec3 t2 = cross(d.normal, t1);
        return add(d.centre, add(scaleByDouble(rho * std::cos(phi), t1), scaleByDouble(rho * std::sin(phi), t2)));
    }
    case kSphereSection: {
        const SphereSection& s = o.section;
        const float sweep = s.sweep == 0.0f ? kTwoPi : s.sweep;
        const Vec3 dir = (o.flags & kSqrtEmitter) ? sqrtBandDirection(rng, sweep, s.latitudeMin, s.latitudeMax)
                                                  : uniformBandDirection(rng, sweep, s.latitudeMin, s.latitudeMax);
        if (s.localToWorld) return transformPoint(dir, s.localToWorld->matrix);
        // Without a placement, the section's own sphere in world space stands in.
        return add(s.centre, scaleByDouble(std::sqrt(static_cast<double>(s.radiusSquared)), dir));
    }
    case kTorus:  // not sampled as emitters: the origin stands in
    case kParaboloid:
    case kEllipsoidSection:
    case kDiscSector:
    case kMeshFaces: break;
    }
    return {0.0f, 0.0f, 0.0f};
}

Vec3 surfaceNormalAt(const SceneObject& o, const Vec3& p) {
    Vec3 n{0.0f, 0.0f, 1.0f};
    switch (o.type) {
    case kTriangle:
    case kParallelogram:
        n = o.patch.normal;
        break;
    case kDisc:
        n = o.disc.normal;
        break;
    case kRevolved: {
        const RevolvedShape& r = o.revolved;
        const Vec3 local = transformPoint(p, r.worldToLocal);
        // Gradient of x^2 + y^2 - (1 - k z)^2; for the cylinder (k = 0) and the cone (k = 1) this is
        // the textbook (x, y, (1 - z) k), and it stays right for any other slope.
        const Vec3 localNormal{local.x, local.y, (1.0f - r.taper * local.z) * r.taper};
        n = normalize(r.normalTransform ? transformDirection(localNormal, r.normalTransform->matrix) : localNormal);
        break;
    }
    case kSphere:
        n = normalize(sub(p, o.sphere.centre));
        break;
    case kSphereSection:
        n = normalize(sub(p, o.section.centre));
        break;
    case kTorus:  // not sampled as emitters: +z stands in
    case kParaboloid:
    case kEllipsoidSection:
    case kDiscSector:
    case kMeshFaces: break;
    }
    if (o.flags & kFlipNormal) n = negate(n);
    return n;
}

}  // namespace lumo
