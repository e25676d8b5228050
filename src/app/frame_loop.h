// One frame of the interactive loop: timing, the shared frame steps, the present and the rate.
#pragma once

#include "image/frame_buffer.h"

namespace lumo {

// Times the frame (pauses over 20 ms excluded), produces it into fb, presents it through the platform
// and about four times a second shows "%5.2f fps" and, with an adaptive target, retunes the
// thresholds. The clock is platform().tickCount().
void runFrame(FrameBuffer& fb);

}  // namespace lumo
