#include "app/qt/app_icon.h"

namespace lumo {

QIcon applicationIcon() {
    // PNGs only: drawing the SVG would need Qt's SVG module at run time.
    QIcon icon;
    for (const char* file : {":/lumo/icons/lumo-48.png", ":/lumo/icons/lumo-128.png", ":/lumo/icons/lumo-256.png"})
        icon.addFile(file);
    return icon;
}

}  // namespace lumo
