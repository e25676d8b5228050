#include "app/settings.h"

namespace lumo {

RenderSettings theSettings;

}  // namespace lumo
