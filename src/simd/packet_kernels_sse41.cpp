// The packet kernels built for one instruction-set level (compile flags in CMakeLists.txt).
#include "simd/leaf_kernels.h"
#include "simd/packet_kernels.h"

namespace lumo {

extern const PacketKernels kPacketKernelsSse41{&traceCameraPacket<lanes::F4>, &occludePacket<lanes::F4>,
    &phongLightTerms<lanes::F4>, &shadowRays<lanes::F4>, lanes::F4::kLanes,
    &nearestLeafShapes<lanes::F4>, &firstLeafBlocker<lanes::F4>};

}  // namespace lumo
