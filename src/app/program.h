// The running program's state: one object, made by the front end's main and passed by reference to
// the commands, the frame loop and the render loop. Its parts are split by the thread that owns them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/camera_drag.h"
#include "app/camera_orbit.h"
#include "app/file_scene.h"
#include "app/frame_timer.h"
#include "app/settings.h"
#include "image/frame.h"
#include "image/pass_mean.h"
#include "scene/scene.h"
#include "trace/view.h"

namespace lumo {

class Platform;

// What the UI thread changes and the frames read. While a render thread runs, both sides hold
// Program::mutex for every access; each frame copies what it needs at its start, so a change lands
// between two frames.
struct SharedState {
    RenderSettings settings;
    Orbit orbit;
    Fly fly;
    FileSceneInfo fileScene;
    // A scene read from a file, waiting for the next frame's start to become the current scene, so a
    // frame never sees half of a change of scene.
    std::unique_ptr<Scene> pendingScene;
};

// The refinement of a still view: the pass the next frame renders (the render loop sets it: 1 after
// any change, then one more each frame while passes are owed) and the mean of the passes so far.
struct StillRefinement {
    int pass = 1;
    PassMean mean;
};

// What only the thread that renders the frames touches: the render thread while one runs, otherwise
// the thread that owns the Program (start-up, tests). The frame loop replaces the scene with the
// mutex held, at a frame's start.
struct RenderThreadState {
    std::unique_ptr<Scene> scene;  // the current scene
    View view;
    Renderer renderer;
    FrameTimer timer;
    StillRefinement still;
};

// What only the UI thread touches.
struct UiState {
    DragState drag;
    uint64_t sceneLoads = 0;  // scene files opened; only the latest one's load is taken
    std::vector<std::string> recentScenes;  // scene and mesh files opened, the latest first
};

struct Program {
    explicit Program(Platform& platform);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The front end's seam (title, messages, window operations, clock); the frames use its clock.
    Platform& platform;
    // The start-up processor check: the packet kernels run here. Fixed before startUp(); tests may
    // pretend either answer.
    bool processorHasSse;
    // Guards `shared` and the render loop's hand-off between the UI and the render thread.
    std::mutex mutex;
    SharedState shared;
    RenderThreadState render;
    UiState ui;
};

// Builds demo scene id (1..9), makes it the current scene and takes over its start camera. Unknown
// ids change nothing.
void loadScene(RenderThreadState& render, int sceneId);

}  // namespace lumo
