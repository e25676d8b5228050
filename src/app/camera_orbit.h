// The camera's orbit as the user steers it (drag, zoom, reset): shared state that each frame copies
// into its view at its start.
#pragma once

namespace lumo {

struct SharedState;

struct Orbit {
    float azimuth = 1.3f;    // radians about z
    float elevation = 0.3f;  // radians above the horizon
    float distance = 7.0f;   // of the eye from the orbit centre
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

}  // namespace lumo
