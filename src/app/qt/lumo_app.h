// The application object: the main frame, the Qt platform and the start-up of the world.
#pragma once

#include "app/qt/main_frame.h"
#include "app/qt/qt_platform.h"

namespace lumo {

// Needs a QApplication. Creates and shows the main window with a 320 x 240 view, installs the Qt
// platform and runs the start-up; frames start with startFrames(). The platform is uninstalled again
// when the application object goes away.
class LumoApp {
public:
    LumoApp();
    ~LumoApp();
    LumoApp(const LumoApp&) = delete;
    LumoApp& operator=(const LumoApp&) = delete;

    MainFrame window;
    QtPlatform platform{window};
};

}  // namespace lumo
