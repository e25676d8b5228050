#include "simd/sse_path.h"

#include "simd/processor.h"

namespace lumo {

const bool sseAvailable = processorHasSse();

}  // namespace lumo
