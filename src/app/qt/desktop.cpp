#include "app/qt/desktop.h"

#include "app/startup.h"

namespace lumo {

Desktop::Desktop() {
    setPlatform(&platform);
    window.show();
    window.resizeViewTo(320, 240);
    startUp();
}

Desktop::~Desktop() {
    window.stopFrames();
    setPlatform(nullptr);
}

}  // namespace lumo
