#include "scene/material.h"

namespace lumo {

const Material airMedium{};

}  // namespace lumo
