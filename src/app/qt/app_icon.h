// The program's icon (the Mirrorsphere), built into the program as a resource.
#pragma once

#include <QIcon>

namespace lumo {

QIcon applicationIcon();

}  // namespace lumo
