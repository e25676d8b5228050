#include "options/version.h"

namespace lumo {

// LUMO_VERSION comes from the build (the project version); only this file is rebuilt when it changes.
const char* programVersion() { return LUMO_VERSION; }

}  // namespace lumo
