// The scene the program shows from a file (scene id 0): opening it, and what the menus, the orbit and
// the window read of it while it is the current scene.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "scenefile/scene_file.h"

namespace lumo {

struct Program;
struct SharedState;

struct FileSceneInfo {
    std::string fileName;  // without its folder
    std::string title;     // the window title
    SceneDescriptor descriptor;
    float startDistance = 7.0f;    // of the eye from the orbit centre
    float fieldOfView = 0.5f;      // radians across the shorter side
    float closestDistance = 1.0f;  // zoom limits
    float farthestDistance = 40.0f;
};

// The descriptor of the current scene, demo or file (the program's mutex held).
const SceneDescriptor& currentDescriptor(const SharedState& state);

// Makes a scene read from a file the program's scene from the next frame on, with its start orbit,
// title, kernel, photon switches and counts (the program's mutex held).
void selectFileScene(Program& program, std::unique_ptr<Scene> scene, const std::string& fileName,
                     const ScenePhotonCounts& photons);

// Takes a loaded scene file as the program's scene (through the platform's editProgram); its warning,
// if any, goes to a message box. Without a scene, shows the error and keeps the current scene.
bool useLoadedScene(Program& program, SceneFileResult loaded, const std::string& path);
// Reads the file off the UI thread (the platform's background work), the status bar telling how far
// it has come, as its content says (a scene, or a mesh framed on a ground: openSceneOrMesh), then
// useLoadedScene on the UI thread; a file that opens goes to the top of the recent scenes. Opening
// another file while one loads supersedes it: the earlier one's result is dropped. Called without the
// program's mutex held.
void openSceneFile(Program& program, const std::string& path);
// The status bar's text while a file loads: "Loading ripple1m.json ... 45%".
std::string loadingText(const std::string& fileName, double fraction);

// How many files Demo > Recent Scenes keeps.
inline constexpr size_t kRecentScenes = 8;
// Puts path (made absolute) at the top of the list, once, keeping the newest kRecentScenes.
void rememberRecentScene(std::vector<std::string>& recent, const std::string& path);
// The Open Scene command: asks for a file, then openSceneFile.
void openScene(Program& program);

}  // namespace lumo
