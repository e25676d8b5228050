#include "app/camera_orbit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "app/program.h"
#include "scene/demo_scenes.h"

namespace lumo {

float closestEyeDistance(const SharedState& state, int sceneId) {
    // A constant table, computed on first use (the box depends on the demo scene alone): building the
    // scenes again on every zoom step would stall the UI.
    static const std::array<float, kSceneCount + 1> closest = [] {
        std::array<float, kSceneCount + 1> d{};
        for (int id = 1; id <= kSceneCount; ++id) {
            const std::unique_ptr<Scene> scene = buildScene(id);
            const Box& b = scene->bounds;
            const float x = std::max(std::fabs(b.min.x), std::fabs(b.max.x));
            const float y = std::max(std::fabs(b.min.y), std::fabs(b.max.y));
            const float z = std::max(std::fabs(b.min.z), std::fabs(b.max.z));
            d[static_cast<size_t>(id)] = std::sqrt(x * x + y * y + z * z) * 1.02f;
        }
        return d;
    }();
    if (sceneId == 0) return state.fileScene.closestDistance;
    return sceneId >= 1 && sceneId <= kSceneCount ? closest[static_cast<size_t>(sceneId)] : kStartEyeDistance;
}

float farthestEyeDistance(const SharedState& state, int sceneId) {
    return sceneId == 0 ? state.fileScene.farthestDistance : kMaxEyeDistance;
}

void zoomBy(SharedState& state, float steps) {
    const int sceneId = state.settings.sceneId;
    Orbit& o = state.orbit;
    const float d = o.distance * std::pow(kZoomStep, -steps);
    o.distance = std::clamp(d, closestEyeDistance(state, sceneId), farthestEyeDistance(state, sceneId));
}

void resetOrbit(SharedState& state, int sceneId) {
    Orbit& o = state.orbit;
    o = Orbit{};
    if (const SceneDescriptor* d = findDemoScene(sceneId)) {
        o.azimuth = d->azimuth;
        o.elevation = d->elevation;
    } else if (sceneId == 0) {
        const FileSceneInfo& f = state.fileScene;
        o.azimuth = f.descriptor.azimuth;
        o.elevation = f.descriptor.elevation;
        o.distance = f.startDistance;
    }
}

}  // namespace lumo
