// Triangle meshes from OBJ (with MTL materials) and glTF 2.0 files, added to a scene as triangles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/matrix34.h"
#include "scene/scene.h"
#include "scenefile/image_file.h"
#include "scenefile/load_progress.h"
#include "scenefile/scene_file.h"

namespace lumo {

// A mesh as read from its file, before it joins a scene: shared vertex arrays and indexed triangles.
struct MeshData {
    struct Corner {
        int position = -1;
        int normal = -1;    // -1: none
        int texcoord = -1;  // -1: none
    };
    struct Triangle {
        Corner corner[3];
        int material = -1;  // into materials, -1: the mesh's default
    };
    struct MeshMaterial {
        std::string name;
        Vec3 diffuse{0.8f, 0.8f, 0.8f};
        float reflectivity = 0.0f;
        float phongExponent = 0.0f;
        float transmission = 0.0f;
        float iorBase = 1.0f;
        int image = -1;  // into images: its texture, -1: none
        TextureSampling sampling{};  // how the image is sampled (filtered, whatever the file says)
    };
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<float> texcoords;  // s, t pairs
    std::vector<Vec3> colours;     // by position: red, green, blue factors; empty when the file has none
    std::vector<Triangle> triangles;
    std::vector<MeshMaterial> materials;
    std::vector<DecodedImage> images;
    std::vector<std::string> files;  // every file read for it: the mesh, MTL files, buffers, images
    std::vector<std::string> warnings;  // what was read but not used, one line each
};

// Reads an OBJ (.obj) or glTF (.gltf, .glb) file, an OBJ text on `threads` threads, telling how far it
// has come through `progress`; throws FileFault naming `keyPath` and the file.
MeshData readMeshFile(const std::string& path, const std::string& keyPath, int threads = 1,
                      const ProgressPart& progress = {});

struct MeshPlacement {
    Matrix34 placement;                  // file coordinates to the scene's
    const Material* material = nullptr;  // for every triangle, instead of the file's materials
    uint16_t flags = 0;
    bool smooth = true;                  // use the file's vertex normals where it has them
};

// Bytes a scene spends per triangle of a mesh (vertices, indices, attributes, tree, and what the tree's
// build holds for a while), for the memory check before a mesh is added.
inline constexpr size_t kBytesPerMeshTriangle = 128;

// Adds the mesh's triangles to the scene's MeshStore (after checking the memory they need), with one
// kMeshFaces object per material they use; zero-area triangles are left out and counted in
// `skipped`. Returns the triangles added.
size_t addMesh(Scene& scene, const MeshData& mesh, const MeshPlacement& how, const std::string& keyPath,
               size_t& skipped);

// The box round the mesh's triangles as addMesh places them (those it leaves out too small to
// count); false when it would add none.
bool placedBounds(const MeshData& mesh, const Matrix34& placement, Box& box);

// The placement a mesh entry of a scene file gets without "transform" and "up": glTF's y-up turned
// into z-up, OBJ as it is.
Matrix34 defaultMeshPlacement(const std::string& file);

// readSceneText, where the mesh file at `meshPath` (as the scene reader resolves it) is `mesh`, read
// before by the caller and emptied once added; other meshes are read from their files.
SceneFileResult readSceneTextWithMesh(const std::string& text, const std::string& name, const std::string& folder,
                                      int threads, LoadProgress* progress, const std::string& meshPath,
                                      MeshData* mesh);

// Memory the system can still give, in bytes (0 when unknown).
uint64_t availableMemoryBytes();
// Faults under keyPath when `bytes` more than the available memory (or an absurd amount) is asked for.
void checkMemory(uint64_t bytes, const std::string& keyPath, const std::string& what);

}  // namespace lumo
