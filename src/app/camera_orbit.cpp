#include "app/camera_orbit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "scene/demo_scenes.h"

namespace lumo {

Orbit& orbit() {
    static Orbit o;
    return o;
}

float closestEyeDistance(int sceneId) {
    // Built once per scene and kept: the box depends on the scene alone.
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
    return sceneId >= 1 && sceneId <= kSceneCount ? closest[static_cast<size_t>(sceneId)] : kStartEyeDistance;
}

void zoomBy(float steps, int sceneId) {
    Orbit& o = orbit();
    const float d = o.distance * std::pow(kZoomStep, -steps);
    o.distance = std::clamp(d, closestEyeDistance(sceneId), kMaxEyeDistance);
}

void resetOrbit(int sceneId) {
    Orbit& o = orbit();
    o = Orbit{};
    if (const SceneDescriptor* d = findDemoScene(sceneId)) {
        o.azimuth = d->azimuth;
        o.elevation = d->elevation;
    }
}

}  // namespace lumo
