// The application object: the main frame, the Qt platform, the start-up of the world and the
// settings file.
#pragma once

#include <QString>

#include "app/command_line.h"
#include "scenefile/scene_file.h"
#include "app/qt/main_frame.h"
#include "app/qt/qt_platform.h"

namespace lumo {

// Needs a QApplication. Installs the Qt platform, runs the start-up, takes over the settings file
// (settingsPath, or the default file when empty) and shows the main window: as stored, or with a
// 640 x 480 view on the first start. Frames start with window.startFrames(). Going away, it stops
// the frames, writes the settings file and uninstalls the platform.
class LumoApp {
public:
    // `produce` and `clock` replace the program's frames and the steady clock (tests).
    explicit LumoApp(const QString& settingsPath = {}, RenderLoop::Produce produce = {}, RenderLoop::Clock clock = {});
    ~LumoApp();
    LumoApp(const LumoApp&) = delete;
    LumoApp& operator=(const LumoApp&) = delete;

    // The command line's choices over the stored ones: scene, threads, shader, view size, fullscreen.
    // A scene file read for --scene-file is taken over the scene.
    void apply(const LaunchOptions& options, SceneFileResult sceneFile = {});

    MainFrame window;
    QtPlatform platform{window};
    QString settingsPath;
};

}  // namespace lumo
