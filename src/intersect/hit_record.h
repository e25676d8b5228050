// The result of one intersection, the per-object eye cache and the per-worker camera-ray record.
#pragma once

#include <cstdint>

#include "core/vec3.h"
#include "scene/scene_object.h"

namespace lumo {

struct HitRecord {
    Vec3 position;   // world hit point (planar), local (codes 3, 8, 9), unset (2, 6, 7)
    Vec3 normal;     // written only by the torus during intersection; completed by shading
    float u;
    float v;
    float texS;
    float texT;
    float distance;  // negative = no hit; routines write exactly -1.0 for a miss
    SceneObject* object;
    uint16_t part;
    uint32_t triangle;  // a mesh hit's triangle in the scene's MeshStore
};

// What camera rays of one frame share per object, computed from the eye before the frame's rays
// start: flat shapes keep the eye's distance to their plane, spheres the eye's offset from the
// centre, cylinders and cones the eye in their local frame.
struct EyeCache {
    Vec3 offset;  // sphere: eye - centre; cylinder/cone: the eye in local coordinates
    float term;   // sphere: |offset|^2 - r^2; cylinder/cone: the quadratic's constant term;
                  // triangle, parallelogram, disc: (corner or centre - eye) . normal
};

// The eye of a frame and its eye caches (indexed like the scene's objects), as camera rays read them.
struct CameraEye {
    Vec3 eye;
    const EyeCache* caches;
};

// One worker's camera ray. The mailbox belongs to the worker: entry i holds the id of the last of
// its camera rays that tested object i, so an object listed in several leaves is tested once.
struct PrimaryRay {
    Vec3 direction;      // unit length; origin is the camera's eyePosition
    HitRecord candidate;
    HitRecord nearest;
    uint32_t rayId = 0;  // incremented before every traced camera ray; key of the mailbox
    uint32_t* mailbox = nullptr;
};

}  // namespace lumo
