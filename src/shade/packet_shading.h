// Shading of camera packets: the hits of a packet of camera rays shaded together, with Phong's first
// light handled for all lanes at once (its shadow rays in packets, its terms by the Phong kernel).
#pragma once

#include "intersect/hit_record.h"
#include "shade/shader.h"
#include "simd/camera_packets.h"
#include "trace/trace.h"

namespace lumo {

// How a frame's packets are shaded, and the packets the shading fills; made once for a run of
// packets (a row), since the shadow rays' lanes without a ray keep finite values from packet to
// packet.
struct PacketShading {
    ShaderFn shader = nullptr;
    bool phongTerms = false;     // Phong with direct light: the first light's terms by the Phong kernel
    bool shadowPackets = false;  // and its shadow rays in packets
    ShadowPacket rays{};
    PhongPacket phong;
};

// The shading of the frame's camera packets with `kernels`: the frame's shader; with Phong and
// direct light, the first light's terms by the Phong kernel and, where that costs less than scalar
// rays (an area light's corners, or a point light with several blockers), its shadow rays in packets.
PacketShading startPacketShading(const TraceContext& ctx, const View& view, const PacketKernels& kernels);

// The first light's part of a packet's shading, for its hits at once (lanes k < count with bit k of
// `hitLanes` set; hits[k]: the record the camera walk leaves, directions[k]: its unit direction):
// with Phong terms, completes the hits and fills shading.phong; with shadow packets, casts them
// (counting the rays) and fills blocked[k] of the lanes whose bit the result sets.
unsigned shadeFirstLight(PacketShading& shading, const TraceContext& ctx, const View& view,
                         const PacketKernels& kernels, const Vec3* directions, HitRecord* hits, unsigned hitLanes,
                         int count, float* blocked);

// The colours of a packet of camera rays from the view's eye, lanes k < count, as the scalar shader
// gives them: store(k, colour) with black where bit k of `hitLanes` is clear, else the colour of
// hits[k] seen along directions[k] (see shadeFirstLight). Inline, so the caller's store joins the
// lane loop.
template <class Store>
void shadePacket(PacketShading& shading, const TraceContext& ctx, const View& view, const PacketKernels& kernels,
                 const Vec3* directions, HitRecord* hits, unsigned hitLanes, int count, Store&& store) {
    const Vec3 eye = view.camera.eyePosition;
    float blocked[kMaxPacketLanes];
    const unsigned shadowed =
        shadeFirstLight(shading, ctx, view, kernels, directions, hits, hitLanes, count, blocked);
    const PhongPacket& phong = shading.phong;
    for (int k = 0; k < count; ++k) {
        if (!(hitLanes & (1u << k))) {
            store(k, Vec3{0.0f, 0.0f, 0.0f});
        } else if (shading.phongTerms) {
            const FirstLightTerms terms{{phong.eyeward[0][k], phong.eyeward[1][k], phong.eyeward[2][k]},
                                        {{phong.toLight[0][k], phong.toLight[1][k], phong.toLight[2][k]},
                                         phong.lightDistance[k],
                                         phong.cosine[k]},
                                        phong.highlight[k]};
            const float* firstBlocked = (shadowed & (1u << k)) ? &blocked[k] : nullptr;
            store(k, shadePhongWithTerms(ctx, eye, directions[k], hits[k], terms, firstBlocked));
        } else {
            store(k, shading.shader(ctx, eye, directions[k], hits[k], &airMedium, 0));
        }
    }
}

}  // namespace lumo
