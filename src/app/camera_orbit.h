// The camera's orbit as the user steers it (drag, zoom, reset): shared state that each frame copies
// into its view at its start.
#pragma once

#include <chrono>

#include "core/vec3.h"

namespace lumo {

struct SharedState;

struct Orbit {
    float azimuth = 1.3f;    // radians about z
    float elevation = 0.3f;  // radians above the horizon
    float distance = 7.0f;   // of the eye from the orbit centre
    // Panning and flying move the orbit centre and the look-at point together by this much.
    Vec3 shift{0.0f, 0.0f, 0.0f};
    // Looking around in fly mode aims the view at the orbit centre instead of the scene's look-at point.
    bool lookAtCentre = false;
    float fieldOfView = 0.5f;  // the scene's, radians across the shorter side: how far a pan drag goes

    // Whether the scene's own orbit centre and look-at point are left as they are.
    bool unmoved() const { return shift.x == 0.0f && shift.y == 0.0f && shift.z == 0.0f && !lookAtCentre; }
};

// Fly mode: W/A/S/D/Q/E held move the eye at `speed` scene units per second, the clock of the render
// loop timing each step; a left drag turns the view about the eye.
struct Fly {
    enum Key : unsigned { kForward = 1, kBack = 2, kLeft = 4, kRight = 8, kDown = 16, kUp = 32 };
    bool on = false;
    unsigned keys = 0;  // Key bits held
    float speed = 1.0f;
    std::chrono::steady_clock::time_point lastStep{};  // of the held keys' movement; none while no key is held
};

inline constexpr float kStartEyeDistance = 7.0f;
// The farthest the eye zooms out: the demo scenes are a few units across, so from here they are
// still a fifth of the picture.
inline constexpr float kMaxEyeDistance = 40.0f;
// One zoom step (a wheel notch, a + or - key) moves the eye by this factor.
inline constexpr float kZoomStep = 1.1f;

// The closest the eye may come to the orbit centre in scene sceneId (0: the scene from a file, as
// state.fileScene describes it): just outside every corner of the scene box, which holds all of the
// scene's objects.
float closestEyeDistance(const SharedState& state, int sceneId);
// The farthest: kMaxEyeDistance, or for a scene from a file (id 0) four times its start distance if
// that is farther.
float farthestEyeDistance(const SharedState& state, int sceneId);

// Moves the eye steps zoom steps toward the centre (negative: away), within the current scene's limits.
void zoomBy(SharedState& state, float steps);
// Puts state.orbit where scene sceneId starts.
void resetOrbit(SharedState& state, int sceneId);

// The unit vector from the orbit centre to the eye.
Vec3 eyeDirection(const Orbit& orbit);
// A pan drag of (dx, dy) pixels (y downward) in a view of width x height: moves the orbit centre
// across the view so that what lies at the centre's depth follows the pointer.
void panBy(Orbit& orbit, int dx, int dy, int width, int height);
// Fly mode's mouse look: turns the view to azimuth and elevation (radians; the elevation kept short of
// straight up and down) about the eye, which stays where it is.
void lookFromEye(Orbit& orbit, float azimuth, float elevation);
// Fly mode, at the render loop's clock `now`: moves the eye by the held keys for the time since the
// last step (the first step after a key goes down only starts the clock).
void stepFly(Orbit& orbit, Fly& fly, std::chrono::steady_clock::time_point now);

}  // namespace lumo
