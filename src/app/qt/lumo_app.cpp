#include "app/qt/lumo_app.h"

#include "app/file_scene.h"
#include "app/qt/settings_file.h"
#include "app/startup.h"

namespace lumo {

LumoApp::LumoApp(Program& p, QtPlatform& qtPlatform, const QString& path, RenderLoop::Produce produce,
                 RenderLoop::Clock clock)
    : program(p),
      platform(qtPlatform),
      window(p, std::move(produce), std::move(clock)),
      settingsPath(path.isEmpty() ? defaultSettingsPath() : path) {
    platform.attach(&window);
    startUp(program);
    const bool placed = loadSettings(settingsPath, window);
    window.refreshCommandStates();
    window.show();
    if (!placed) window.resizeViewTo(640, 480);
}

void LumoApp::apply(const LaunchOptions& options, SceneFileResult sceneFile) {
    window.renderLoop().edit([&] { applyLaunchOptions(program, options); });
    if (sceneFile.scene && useLoadedScene(program, std::move(sceneFile), options.common.sceneFile))
        rememberRecentScene(program.ui.recentScenes, options.common.sceneFile);
    window.refreshCommandStates();
    if (options.size) window.resizeViewTo(options.common.width, options.common.height);
    if (options.fullscreen) window.setFullscreen(true);
}

LumoApp::~LumoApp() {
    window.stopFrames();
    saveSettings(settingsPath, window);
    platform.attach(nullptr);
}

}  // namespace lumo
