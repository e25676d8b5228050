// The packet kernels built for one instruction-set level (compile flags in CMakeLists.txt).
#include "simd/leaf_kernels.h"
#include "simd/packet_kernels.h"

namespace lumo {

extern const PacketKernels kPacketKernelsAvx512{&traceCameraPacket<lanes::F16>, &occludePacket<lanes::F16>,
    &phongLightTerms<lanes::F16>, &shadowRays<lanes::F16>, lanes::F16::kLanes,
    &nearestLeafShapes<lanes::F8>, &firstLeafBlocker<lanes::F8>};  // leaves in blocks of kMaxLeafLanes

}  // namespace lumo
