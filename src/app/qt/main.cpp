// The desktop program: one window, frames whenever the event loop is idle.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program.h"
#include "app/qt/lumo_app.h"
#include "app/qt/qt_platform.h"
#include "core/workers.h"
#include "scenefile/open_file.h"

namespace {

constexpr const char* kNoDisplay =
    "lumo: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset); use lumo-render to render "
    "without one";

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool displayAvailable() {
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa && std::strncmp(qpa, "offscreen", 9) == 0) return true;
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

// A display that is named but cannot be opened is fatal inside Qt. Collect what Qt says while it
// connects and end with one line instead of an abort. File-wide because Qt's message handler takes no
// context; used only before the window exists.
QStringList startupMessages;

void collectStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        startupMessages << message;
        return;
    }
    const QString reason = startupMessages.isEmpty() ? message : startupMessages.first();
    std::fprintf(stderr, "lumo: cannot open a window (%s); use lumo-render to render without one\n",
                 reason.toLocal8Bit().constData());
    std::_Exit(1);
}

}  // namespace

// Read by LeakSanitizer in sanitizer builds: the session-bus library keeps a buffer until exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

int main(int argc, char** argv) {
    // The command line first: help, version and bad input need no window.
    const lumo::LaunchOptions options = lumo::readLaunchOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.status) {
        case lumo::LaunchOptions::kHelp:
            std::fputs(lumo::launchHelp().c_str(), stdout);
            return 0;
        case lumo::LaunchOptions::kVersion:
            std::fputs(lumo::launchVersion().c_str(), stdout);
            return 0;
        case lumo::LaunchOptions::kError:
            std::fprintf(stderr, "lumo: %s\n", options.error.c_str());
            return 2;
        case lumo::LaunchOptions::kRun:
            break;
    }
    // A scene file is read before the window opens: a bad one is one line and status 2, like a bad option.
    lumo::SceneFileResult sceneFile;
    if (!options.common.sceneFile.empty()) {
        sceneFile = lumo::openSceneOrMesh(options.common.sceneFile, lumo::hardwareThreads());
        if (!sceneFile.scene) {
            std::fprintf(stderr, "lumo: --scene-file: %s\n", sceneFile.error.c_str());
            return 2;
        }
    }
    if (!displayAvailable()) {
        std::fprintf(stderr, "%s\n", kNoDisplay);
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(collectStartupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : startupMessages) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());

    // The running program's state, passed by reference to the window, its commands and its frames.
    lumo::QtPlatform platform;
    lumo::Program program(platform);
    lumo::LumoApp lumoApp(program, platform);
    lumoApp.apply(options, std::move(sceneFile));
    lumoApp.window.startFrames();
    return app.exec();
}
