// Any file a user hands the program (command line, Open Scene, a drop on the window): told apart by
// its content, then read as a scene, or as a bare mesh set on a ground under a light.
#pragma once

#include <string>

#include "scenefile/scene_file.h"

namespace lumo {

enum class FileKind { kScene, kObj, kGltf, kGlb, kOther };

// What the first bytes of a file say it is: a JSON object with glTF's top-level "asset" key is glTF,
// any other JSON object a scene file; the binary glTF header is GLB; text whose statements are OBJ
// statements is OBJ; anything else (binary data, UTF-16, other text) is kOther.
FileKind fileKindOf(const std::string& head);

// Reads the file at path as its content says. A scene file is read as loadSceneFile reads it. A mesh
// becomes a scene of its own: the mesh as the file places it, a grey ground just below it, a light
// above and in front, and a camera that frames it, orbiting its centre; the title is the file's name.
// Any other file gives an error in one line naming the path. `progress` (if any) tells how far the
// read has come. A bare mesh is read once.
SceneFileResult openSceneOrMesh(const std::string& path, int threads = 1, LoadProgress* progress = nullptr);

}  // namespace lumo
