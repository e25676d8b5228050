#include "app/settings.h"

namespace lumo {

RenderSettings& settings() {
    static RenderSettings s;
    return s;
}

}  // namespace lumo
