#include "simd/sse_path.h"

#include "app/startup.h"

namespace lumo {

const bool sseAvailable = processorHasSse();

}  // namespace lumo
