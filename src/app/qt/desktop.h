// The desktop program's objects and its start-up: the window, the Qt platform and the world.
#pragma once

#include "app/qt/main_window.h"
#include "app/qt/qt_platform.h"

namespace lumo {

// Needs a QApplication. Creates and shows the main window with a 320 x 240 view, installs the Qt
// platform and runs the start-up; frames start with startFrames(). The platform is uninstalled again
// when the desktop goes away.
class Desktop {
public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    MainWindow window;
    QtPlatform platform{window};
};

}  // namespace lumo
