#include "app/camera_orbit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "app/file_scene.h"
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
    if (sceneId == 0) return fileSceneInfo().closestDistance;
    return sceneId >= 1 && sceneId <= kSceneCount ? closest[static_cast<size_t>(sceneId)] : kStartEyeDistance;
}

float farthestEyeDistance(int sceneId) { return sceneId == 0 ? fileSceneInfo().farthestDistance : kMaxEyeDistance; }

void zoomBy(float steps, int sceneId) {
    Orbit& o = orbit();
    const float d = o.distance * std::pow(kZoomStep, -steps);
    o.distance = std::clamp(d, closestEyeDistance(sceneId), farthestEyeDistance(sceneId));
}

void resetOrbit(int sceneId) {
    Orbit& o = orbit();
    o = Orbit{};
    if (const SceneDescriptor* d = findDemoScene(sceneId)) {
        o.azimuth = d->azimuth;
        o.elevation = d->elevation;
    } else if (sceneId == 0) {
        const FileSceneInfo& f = fileSceneInfo();
        o.azimuth = f.descriptor.azimuth;
        o.elevation = f.descriptor.elevation;
        o.distance = f.startDistance;
    }
}

}  // namespace lumo
