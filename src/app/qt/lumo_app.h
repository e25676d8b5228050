// The application object: the main frame over the program's state, the start-up and the settings file.
#pragma once

#include <QString>

#include "app/command_line.h"
#include "app/program.h"
#include "app/qt/main_frame.h"
#include "app/qt/qt_platform.h"

namespace lumo {

// Needs a QApplication, a fresh Program and the QtPlatform it was made with, both outliving the
// LumoApp. Attaches the window to the platform, runs the start-up, takes over the settings file
// (settingsPath, or the default file when empty) and shows the main window: as stored, or with a
// 640 x 480 view on the first start. Frames start with window.startFrames(). Going away, it stops
// the frames, writes the settings file and detaches the window.
class LumoApp {
public:
    // `produce` and `clock` replace the program's frames and the steady clock (tests).
    LumoApp(Program& program, QtPlatform& platform, const QString& settingsPath = {},
            RenderLoop::Produce produce = {}, RenderLoop::Clock clock = {});
    ~LumoApp();
    LumoApp(const LumoApp&) = delete;
    LumoApp& operator=(const LumoApp&) = delete;

    // The command line's choices over the stored ones: scene, threads, shader, view size, fullscreen.
    // A --scene-file starts loading, as Open Scene does.
    void apply(const LaunchOptions& options);

    Program& program;
    QtPlatform& platform;
    MainFrame window;
    QString settingsPath;
};

}  // namespace lumo
