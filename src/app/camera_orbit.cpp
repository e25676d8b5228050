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
        o.fieldOfView = d->fieldOfView;
    } else if (sceneId == 0) {
        const FileSceneInfo& f = state.fileScene;
        o.azimuth = f.descriptor.azimuth;
        o.elevation = f.descriptor.elevation;
        o.distance = f.startDistance;
        o.fieldOfView = f.fieldOfView;
    }
}

Vec3 eyeDirection(const Orbit& o) {
    const float ce = std::cos(o.elevation);
    return {ce * std::sin(o.azimuth), -ce * std::cos(o.azimuth), std::sin(o.elevation)};
}

namespace {
// The view's right and up directions (z is up in the scene).
void viewAxes(const Orbit& o, Vec3& right, Vec3& up) {
    const Vec3 forward = negate(eyeDirection(o));
    right = normalize(cross(forward, Vec3{0.0f, 0.0f, 1.0f}));
    up = cross(right, forward);
}
// Fly mode keeps the eye this far short of looking straight up or down.
constexpr float kLookLimit = 1.55f;
}  // namespace

void panBy(Orbit& o, int dx, int dy, int width, int height) {
    const int shorter = std::min(width, height);
    if (shorter <= 0) return;
    // The field of view spans the shorter side: at the centre's distance that is this many units.
    const float unitsPerPixel = 2.0f * o.distance * std::tan(0.5f * o.fieldOfView) / static_cast<float>(shorter);
    Vec3 right, up;
    viewAxes(o, right, up);
    // The scene follows the pointer: the centre moves the other way.
    o.shift = add(o.shift, add(scale(-static_cast<float>(dx) * unitsPerPixel, right),
                               scale(static_cast<float>(dy) * unitsPerPixel, up)));
}

void lookFromEye(Orbit& o, float azimuth, float elevation) {
    const Vec3 eye = add(o.shift, scale(o.distance, eyeDirection(o)));  // relative to the scene's centre
    o.azimuth = azimuth;
    o.elevation = std::clamp(elevation, -kLookLimit, kLookLimit);
    o.shift = sub(eye, scale(o.distance, eyeDirection(o)));
    o.lookAtCentre = true;
}

void stepFly(Orbit& o, Fly& fly, std::chrono::steady_clock::time_point now) {
    if (!fly.on || fly.keys == 0) {
        fly.lastStep = {};
        return;
    }
    const bool started = fly.lastStep != std::chrono::steady_clock::time_point{};
    const double seconds = started ? std::chrono::duration<double>(now - fly.lastStep).count() : 0.0;
    fly.lastStep = now;
    if (seconds <= 0.0) return;
    Vec3 right, up;
    viewAxes(o, right, up);
    const Vec3 forward = negate(eyeDirection(o));
    const Vec3 worldUp{0.0f, 0.0f, 1.0f};
    Vec3 move{0.0f, 0.0f, 0.0f};
    auto held = [&](unsigned key, const Vec3& along) {
        if (fly.keys & key) move = add(move, along);
    };
    held(Fly::kForward, forward);
    held(Fly::kBack, negate(forward));
    held(Fly::kRight, right);
    held(Fly::kLeft, negate(right));
    held(Fly::kUp, worldUp);
    held(Fly::kDown, negate(worldUp));
    if (dot(move, move) == 0.0f) return;
    o.shift = add(o.shift, scale(fly.speed * static_cast<float>(seconds), normalize(move)));
}

}  // namespace lumo
