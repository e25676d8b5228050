// Photon-map estimate read by the shaders, and the interpolation kernels behind it.
#pragma once

#include <cmath>

#include "core/render_params.h"
#include "core/vec3.h"
#include "scene/photon_map.h"
#include "scene/scene.h"

namespace lumo {

// photonEstimate where the object has a photon tree and a photon display is on.
Vec3 photonEstimateFromTree(const SceneDescriptor& scene, const PhotonParams& params, const SceneObject& object,
                            float u, float v);

// Light deposited by photons at surface parameters (u, v) of object, per unit of world area.
// Black unless the object is a parallelogram with a photon tree and a photon display is on. Inline:
// every shaded hit asks, and most get black.
inline Vec3 photonEstimate(const SceneDescriptor& scene, const PhotonParams& params, const SceneObject* object,
                           float u, float v) {
    if (!object || object->type != kParallelogram || (!params.causticsDisplay && !params.giDisplay) ||
        !object->patch.photonTree)
        return {0.0f, 0.0f, 0.0f};
    return photonEstimateFromTree(scene, params, *object, u, v);
}

// Scale of the estimate for a scene (receiver area aside): 0 where the scene offers no map.
float photonEstimateSceneScale(const SceneDescriptor& scene, int causticPhotonCount, int giPhotonCount);

// Reconstructs the density at (u, v) from a tree with the given "Interpolation" mode (0..6), unscaled.
Vec3 evaluateKernel(const PhotonQuadNode* root, float u, float v, int kernel);

// Stretched-grid tent contributions of tree levels 1..lastLevel at (pu, pv).
Vec3 evaluateLevels(const PhotonQuadNode* root, float pu, float pv, int lastLevel);

// Separable tent of radius r; 0 outside it.
inline float tentWeight(float du, float dv, float r) {
    const float a = 1.0f - std::fabs(du) / r;
    const float b = 1.0f - std::fabs(dv) / r;
    if (a < 0.0f || b < 0.0f) return 0.0f;
    const float w = a * b;
    return w > 0.0f ? w : 0.0f;
}

}  // namespace lumo
