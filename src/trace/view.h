// What one picture sees of a scene: the camera, its ray frame and the per-frame caches camera rays read.
#pragma once

#include <vector>

#include "intersect/box_entry.h"
#include "intersect/hit_record.h"
#include "scene/scene.h"
#include "simd/camera_packets.h"

namespace lumo {

// The camera ray frame of a picture: a sample at row y, column x looks along
// normalize(cameraCorner + y * rowStep + x * columnStep) from the eye.
struct RayFrame {
    Vec3 cameraCorner{0.0f, 1.0f, 0.0f};
    Vec3 rowStep{0.0f, 0.0f, 0.0f};
    Vec3 columnStep{0.0f, 0.0f, 0.0f};
};

// Derives the ray frame from the camera; the field of view spans the shorter side of the picture.
RayFrame computeRayFrame(const Camera& camera, int width, int height);

struct View {
    Camera camera;
    RayFrame rayFrame;
    CameraBoxCache box;               // the eye against the scene box
    std::vector<EyeCache> eyeCaches;  // indexed like the scene's objects
    CameraPacketScene packets;        // what camera packets read

    CameraEye cameraEye() const { return {camera.eyePosition, eyeCaches.data()}; }
};

// Everything a frame's camera rays read, for the view's current eye: the ray frame of a width x height
// picture, every object's eye cache, the eye against the scene box and the packet data. Call it after
// the eye or the scene moved and before the rays start.
void prepareView(View& view, const Scene& scene, int width, int height);

}  // namespace lumo
