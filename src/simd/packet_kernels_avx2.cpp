// The packet kernels built for one instruction-set level (compile flags in CMakeLists.txt).
#include "simd/leaf_kernels.h"
#include "simd/packet_kernels.h"

namespace lumo {

extern const PacketKernels kPacketKernelsAvx2{&traceCameraPacket<lanes::F8>, &occludePacket<lanes::F8>,
    &phongLightTerms<lanes::F8>, &shadowRays<lanes::F8>, lanes::F8::kLanes,
    &nearestLeafShapes<lanes::F8>, &firstLeafBlocker<lanes::F8>};

}  // namespace lumo
