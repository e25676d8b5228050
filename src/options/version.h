// The program's version, set in one place: the project version of the build.
#pragma once

namespace lumo {

const char* programVersion();  // "0.38"

}  // namespace lumo
