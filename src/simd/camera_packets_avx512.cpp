// The camera packet kernel built for one instruction-set level (compile flags in CMakeLists.txt).
#include "simd/camera_packet_kernel.h"

namespace lumo {

extern const CameraPacketKernel kCameraPacketAvx512 = &traceCameraPacket<lanes::F16>;

}  // namespace lumo
