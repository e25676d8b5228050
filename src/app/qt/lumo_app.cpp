#include "app/qt/lumo_app.h"

#include "app/startup.h"

namespace lumo {

LumoApp::LumoApp() {
    setPlatform(&platform);
    window.show();
    window.resizeViewTo(320, 240);
    startUp();
}

LumoApp::~LumoApp() {
    window.stopFrames();
    setPlatform(nullptr);
}

}  // namespace lumo
