// A scene: everything one picture's world is made of, owned in one place. Read-only while a frame
// renders; the animation step and the photon passes write it between frames.
#pragma once

#include <cstdint>
#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/vec3.h"
#include "scene/accel.h"
#include "scene/bvh.h"
#include "scene/kd_tree.h"
#include "scene/material.h"
#include "scene/mesh_store.h"
#include "scene/scene_object.h"

namespace lumo {

// Where the camera stands and looks. The eye follows from the orbit angles each frame.
struct Camera {
    Vec3 eyePosition{0.0f, -7.0f, 0.0f};
    Vec3 lookAtPoint{0.0f, 0.0f, 0.0f};
    Vec3 upVector{0.0f, 0.0f, 1.0f};
    float fieldOfView = 0.5f;    // radians across the shorter side of the picture
    float cameraAzimuth = 1.3f;  // orbit angle about z
    float cameraElevation = 0.3f;
    float orbitRadius = 7.0f;    // distance of the eye from the orbit centre
    Vec3 orbitCentre{0.0f, 0.0f, 0.0f};  // the demo scenes orbit the origin
};

// Puts the eye on its orbit of radius orbitRadius about orbitCentre, from cameraAzimuth and
// cameraElevation.
void placeEyeOnOrbit(Camera& camera);

struct Light {
    Light* next = nullptr;
    SceneObject* object = nullptr;  // area light geometry (a parallelogram), null for a point light
    Vec3 position{0.0f, 0.0f, 0.0f};
    float intensity = 1.0f;
    float area = 0.0f;              // emitting area, where the glow of the light's own surface needs it
};

// What the program knows about a scene beyond its geometry: names, start camera and light, and the
// photon maps it offers with their defaults.
struct SceneDescriptor {
    int id = 0;                         // demo scenes 1..9, 0 for any other
    const char* menuName = "";          // Demo menu text
    const char* cliName = "";           // lumo-render --scene name
    const char* title = "";             // window title
    Vec3 lookAt{0.0f, 0.0f, 0.0f};
    float azimuth = 1.3f;
    float elevation = 0.3f;
    float fieldOfView = 0.5f;
    Vec3 lightPosition{5.0f, -3.0f, 7.0f};
    float lightIntensity = 1.0f;
    bool offersCaustics = false;        // the caustic switches apply to it
    bool offersGi = false;              // the global-illumination switches apply to it
    bool causticsOnSelect = false;      // selecting the scene switches caustics on
    bool giOnSelect = false;            // selecting the scene switches global illumination on
    int interpolationKernel = 1;        // kernel selected with the scene
    // Photon estimate scale per photon emitted: the caustic one divides by the caustic photon
    // count, the GI one by the GI photon count; 0 where the scene has no such map.
    float causticEstimateScale = 0.0f;
    float giEstimateScale = 0.0f;
};

// The photon maps of a scene (photon blocks, quadtree nodes); defined by the photon passes.
struct PhotonMaps;

inline constexpr int kAnimatedSlots = 6;

// Everything a scene builder creates. The scene owns it; destroying the scene releases all of it.
// Pointers into the containers stay valid because std::deque never moves its elements on push_back.
struct Scene {
    SceneDescriptor descriptor;
    std::string title;
    Camera camera;      // the start pose: look-at point, field of view, orbit angles
    Light light;        // the one light record
    std::deque<Material> materials;
    std::deque<SceneObject> objects;    // objects[i].index == i
    std::deque<ShapeTransform> transforms;
    std::deque<KdNode> treeNodes;       // hand-built trees before setTree flattens them
    Accel tree;                         // the tree the walks read unless usesBvh
    Bvh bvh;                            // the tree of scenes from files (see buildBvh)
    bool usesBvh = false;
    MeshStore meshes;                   // mesh triangles, in bvh leaf order once built
    std::vector<SceneObject*> objectTable;  // objectTable[i] == &objects[i], for the walks' index lookups
    // What scenes from files attach to their shapes: vertex normals, texture corners, textures.
    std::deque<SurfaceAttributes> surfaceAttributes;
    std::deque<std::array<Vec3, 3>> vertexNormals;
    std::deque<TextureCorners> textureCorners;
    std::deque<Bitmap> bitmaps;
    std::deque<std::vector<uint8_t>> bitmapPixels;
    Material* materialList = nullptr;  // newest first, linked through Material::next
    Box bounds{{-2.0f, -2.0f, -0.001f}, {2.0f, 2.0f, 2.0f}};  // sceneBounds
    SceneObject* freeObject = nullptr;
    SceneObject* animatedObjects[kAnimatedSlots] = {};
    std::shared_ptr<PhotonMaps> photonMaps;  // made by the first photon pass

    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    const Light* firstLight() const { return &light; }
    Light* firstLight() { return &light; }
    int id() const { return descriptor.id; }
    size_t objectCount() const { return objects.size(); }
    SceneObject& object(uint32_t index) const { return *objectTable[index]; }

    Material& newMaterial(const char* name);           // constructed, named, pushed on the list
    SceneObject& newObject();                          // header defaults and its index; caller runs an init*
    // A kMeshFaces object for triangles the caller adds to `meshes` with its part number.
    SceneObject& newMeshPart(const Material* material, uint16_t flags);
    void dropLastObject();                             // undoes the last newObject
    ShapeTransform& newTransform();
    KdNode& newLeaf();                                 // empty leaf
    KdNode& newSplit(int axis, float split, KdNode& below, KdNode& above);
    void append(KdNode& leaf, SceneObject& object);    // at the end of the leaf's list
    // Makes the hand-built tree under `root` the scene's tree (flattened; see flattenKdTree).
    void setTree(const KdNode& root);
};

}  // namespace lumo
