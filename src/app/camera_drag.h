// Orbiting the camera with a left-button drag in the view (client coordinates, y downward).
#pragma once

namespace lumo {

struct Orbit;

struct DragState {
    bool dragging = false;
    int anchorX = 0;
    int anchorY = 0;
    float anchorAzimuth = 0.0f;
    float anchorElevation = 0.0f;
};

// Button down: remembers the point and the camera angles of the orbit.
void beginDrag(DragState& drag, const Orbit& orbit, int x, int y);
// Mouse move while dragging, in a view of width x height: the full width turns the orbit once
// around, the full height tilts it a quarter turn; the elevation never drops below the horizon.
// Ignored when not dragging or when the view has no area.
void dragTo(const DragState& drag, Orbit& orbit, int x, int y, int width, int height);
// Button up.
void endDrag(DragState& drag);

}  // namespace lumo
