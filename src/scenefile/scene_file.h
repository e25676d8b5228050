// Scenes from files: the JSON scene format (docs/scene-format.md) read into a Scene with an automatic
// tree, and any scene written back out. Meshes come from OBJ and glTF files the scene names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace lumo {

inline constexpr int kSceneFormatVersion = 1;

// Photon counts and split counts a scene file asks for; 0 where it leaves the program's choice.
struct ScenePhotonCounts {
    int causticPhotons = 0;
    int causticSplit = 0;
    int giPhotons = 0;
    int giSplit = 0;
    int giOnlyIndirect = -1;  // -1: the program's choice
};

struct SceneFileResult {
    std::unique_ptr<Scene> scene;  // null on failure
    std::string error;             // on failure: one line, starting with the file's path as given
    std::vector<std::string> warnings;  // one line each: what was skipped or not read
    ScenePhotonCounts photons;
    std::vector<std::string> inputs;  // the files read: the scene file, its meshes, MTL files, buffers
};

// Reads a scene file and builds its tree on `threads` threads. Never throws; a fault in the file or
// in a mesh it names gives a null scene and the error line.
SceneFileResult loadSceneFile(const std::string& path, int threads = 1);
// The same for scene text already read; `name` heads the messages, meshes are looked up in `folder`.
SceneFileResult readSceneText(const std::string& text, const std::string& name, const std::string& folder,
                              int threads = 1);

// The scene as scene-file text: every material and object as it stands now (a demo scene as posed at
// its last animation step), the camera's start pose, the light and the photon switches.
std::string sceneFileText(const Scene& scene);

}  // namespace lumo
