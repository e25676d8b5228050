// Large working arrays backed by 2 MiB pages where the system allows it: far fewer page faults when
// such an array is first written, which is a large share of building a big mesh's tree.
#pragma once

#include <cstddef>

namespace lumo {

// Asks for huge pages over the whole 2 MiB pages inside [p, p + bytes), before the memory is first
// touched. Only a hint: without system support nothing changes.
void preferHugePages(const void* p, size_t bytes);

}  // namespace lumo
