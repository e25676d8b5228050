#include "app/camera_drag.h"

#include "app/camera_orbit.h"

namespace lumo {

void beginDrag(DragState& d, const Orbit& orbit, int x, int y) {
    d.dragging = true;
    d.anchorX = x;
    d.anchorY = y;
    d.anchorAzimuth = orbit.azimuth;
    d.anchorElevation = orbit.elevation;
}

void dragTo(const DragState& d, Orbit& o, int x, int y, int width, int height) {
    if (!d.dragging || width <= 0 || height <= 0) return;
    o.azimuth = d.anchorAzimuth + static_cast<float>(d.anchorX - x) / static_cast<float>(width) * 6.283185f;
    const float elevation =
        d.anchorElevation - static_cast<float>(d.anchorY - y) / static_cast<float>(height) * 1.570796f;
    o.elevation = elevation < 0.0f ? 0.0f : elevation;
}

void endDrag(DragState& d) { d.dragging = false; }

}  // namespace lumo
