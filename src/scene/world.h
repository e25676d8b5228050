// The program-wide scene state: camera, the single light, the current scene and the frame stamp.
// Written only on the UI thread between frames; read by the render and photon threads during a frame.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "core/vec3.h"
#include "scene/kd_tree.h"
#include "scene/material.h"
#include "scene/scene_object.h"

namespace lumo {

struct Camera {
    Vec3 eyePosition{0.0f, -7.0f, 0.0f};  // recomputed every frame from the orbit angles
    Vec3 lookAtPoint{0.0f, 0.0f, 0.0f};
    Vec3 upVector{0.0f, 0.0f, 1.0f};
    float fieldOfView = 0.5f;    // radians across the shorter side of the picture
    float cameraAzimuth = 1.3f;  // orbit angle about z
    float cameraElevation = 0.3f;
};

struct Light {
    Light* next = nullptr;
    SceneObject* object = nullptr;  // area light geometry (a parallelogram), null for a point light
    Vec3 position{0.0f, 0.0f, 0.0f};
    float intensity = 1.0f;
    float area = 0.0f;
};

inline constexpr int kAnimatedSlots = 6;

// Everything a scene builder creates. The scene owns it; destroying the scene releases all of it.
// Pointers into the containers stay valid because std::deque never moves its elements on push_back.
struct Scene {
    int id = 0;
    std::string title;
    std::deque<Material> materials;
    std::deque<SceneObject> objects;
    std::deque<ShapeTransform> transforms;
    std::deque<ObjectNode> listNodes;
    std::deque<KdNode> treeNodes;
    Material* materialList = nullptr;  // newest first, linked through Material::next
    KdNode* root = nullptr;            // sceneRoot
    Box bounds{{-2.0f, -2.0f, -0.001f}, {2.0f, 2.0f, 2.0f}};  // sceneBounds
    SceneObject* freeObject = nullptr;
    SceneObject* animatedObjects[kAnimatedSlots] = {};
    // Photon-tree roots of this scene's parallelograms, kept by the photon passes and released
    // with the scene.
    std::shared_ptr<void> photonRoots;

    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    // Clears the light's `object` if it points into this scene, so the light never dangles.
    ~Scene();

    Material& newMaterial(const char* name);           // constructed, named, pushed on the list
    SceneObject& newObject();                          // header defaults; caller runs an init*
    ShapeTransform& newTransform();
    KdNode& newLeaf();                                 // empty leaf
    KdNode& newSplit(int axis, float split, KdNode& below, KdNode& above);
    void append(KdNode& leaf, SceneObject& object);    // at the end of the leaf's list
};

struct World {
    Camera camera;
    Light* lights = nullptr;  // the light list; start-up allocates exactly one record
    std::unique_ptr<Scene> scene;
    uint16_t frameStamp = 0;
};

// One instance for the program; a plain global so the per-ray reads inline to a load.
extern World theWorld;
inline World& world() { return theWorld; }
inline Camera& camera() { return world().camera; }
inline Scene& currentScene() { return *world().scene; }
inline Light* firstLight() { return world().lights; }

// Allocates the single light record (idempotent).
void ensureLight();
// Installs a new current scene, then releases the previous one.
void setScene(std::unique_ptr<Scene> scene);
// Puts the eye on its orbit of radius 7 from cameraAzimuth and cameraElevation.
void placeEyeOnOrbit();

}  // namespace lumo
