#include "shade/packet_shading.h"

#include <algorithm>
#include <bit>

#include "shade/complete_hit.h"
#include "trace/shadow.h"

namespace lumo {

namespace {

// Whether a frame's Phong hits, lit directly, send their first shadow rays as packets: where the
// shader casts them and they cost more than setting them up in a packet (an area light's four
// corners, or a point light with several blockers; with one blocker packets cost 7% more
// instructions per sample).
bool shadowsInPackets(const Scene& scene, const View& view) {
    if (!view.packets.shadowsTested) return false;
    return isAreaLight(scene.firstLight()->object) || view.packets.blockers.size() >= 3;
}

// The first light's blocked fraction at the packet's hits, as shadowFactor finds it, with the rays in
// packets: one per point light; the four corners of an area light, then its subdivision's rays level
// by level. Fills blocked[k] for the lanes that need it and sets their bit in the result. `rays`: the
// packet they travel in, whose lanes without a ray keep finite values the kernels compute and ignore.
unsigned castShadowPackets(const TraceContext& ctx, const View& view, const PacketKernels& kernels, const Vec3& eye,
                           const Vec3* directions, const HitRecord* hits, unsigned hitLanes, ShadowPacket& rays,
                           float* blocked) {
    const CameraPacketFrame& frame = view.packets.frame;
    const Light& light = *ctx.scene->firstLight();
    const bool area = isAreaLight(light.object);
    Vec3 targets[4] = {light.position};
    if (area) areaLightCorners(light.object->patch, targets);
    unsigned lanes = 0;
    float points[3][kMaxPacketLanes], excludes[kMaxPacketLanes];
    for (int k = 0; k < kernels.lanes; ++k) {
        if (!(hitLanes & (1u << k)) || (hits[k].object->flags & kNoShadowTest)) continue;
        const Vec3 p = hitPoint(eye, directions[k], hits[k]);
        points[0][k] = p.x, points[1][k] = p.y, points[2][k] = p.z;
        excludes[k] = static_cast<float>(hits[k].object->index);
        lanes |= 1u << k;
    }
    if (!lanes) return 0;
    // Rays from the points of lanes `from[j]` toward `target[j]` in lanes j < n: bit j set where blocked.
    const auto castRays = [&](int n, const int* from, const Vec3* target) {
        for (int j = 0; j < n; ++j) {
            const int k = from[j];
            for (int a = 0; a < 3; ++a) rays.origin[a][j] = points[a][k], rays.target[a][j] = axisValue(target[j], a);
            rays.exclude[j] = excludes[k];
        }
        const unsigned cast = kernels.shadowRays(rays) & ((2u << (n - 1)) - 1u);  // where they reach anywhere
        ctx.stats->rays += static_cast<uint64_t>(std::popcount(cast));
        return kernels.occlusion(frame, rays, cast);
    };
    int from[kMaxPacketLanes];
    Vec3 to[kMaxPacketLanes];
    float corners[kMaxPacketLanes][4];
    for (int corner = 0; corner < (area ? 4 : 1); ++corner) {
        int n = 0;
        for (int k = 0; k < kernels.lanes; ++k)
            if (lanes & (1u << k)) from[n] = k, to[n] = targets[corner], ++n;
        const unsigned hit = castRays(n, from, to);
        for (int j = 0; j < n; ++j) corners[from[j]][corner] = (hit >> j) & 1u ? 1.0f : 0.0f;
    }
    if (!area) {
        for (int k = 0; k < kernels.lanes; ++k) blocked[k] = corners[k][0];
        return lanes;
    }
    areaShadowsByLevel(lanes, corners, blocked, [&](AreaSample* samples, int count) {
        for (int first = 0; first < count; first += kernels.lanes) {
            const int n = std::min(kernels.lanes, count - first);
            for (int j = 0; j < n; ++j) {
                const AreaSample& a = samples[first + j];
                from[j] = a.lane, to[j] = areaLightPoint(*light.object, a.u, a.v);
            }
            const unsigned hit = castRays(n, from, to);
            for (int j = 0; j < n; ++j) samples[first + j].occlusion = (hit >> j) & 1u ? 1.0f : 0.0f;
        }
    });
    return lanes;
}

}  // namespace

PacketShading startPacketShading(const TraceContext& ctx, const View& view, const PacketKernels& kernels) {
    PacketShading s;
    s.shader = shaderFunction(ctx.params->shader);
    s.phongTerms = ctx.params->shader == kShaderPhong && kernels.phong && directLightShown(ctx.params->photons);
    s.shadowPackets = s.phongTerms && shadowsInPackets(*ctx.scene, view);
    return s;
}

unsigned shadeFirstLight(PacketShading& shading, const TraceContext& ctx, const View& view,
                         const PacketKernels& kernels, const Vec3* directions, HitRecord* hits, unsigned hitLanes,
                         int count, float* blocked) {
    const Vec3 eye = view.camera.eyePosition;
    const unsigned shadowed =
        shading.shadowPackets
            ? castShadowPackets(ctx, view, kernels, eye, directions, hits, hitLanes, shading.rays, blocked)
            : 0u;
    if (shading.phongTerms && hitLanes) {
        PhongPacket& phong = shading.phong;
        for (int k = 0; k < count; ++k) {
            if (!(hitLanes & (1u << k))) continue;
            completeHit(eye, directions[k], hits[k]);
            const Vec3 &p = hits[k].position, &normal = hits[k].normal;
            phong.point[0][k] = p.x, phong.point[1][k] = p.y, phong.point[2][k] = p.z;
            phong.normal[0][k] = normal.x, phong.normal[1][k] = normal.y, phong.normal[2][k] = normal.z;
        }
        kernels.phong(eye, ctx.scene->firstLight()->position, phong);
    }
    return shadowed;
}

}  // namespace lumo
