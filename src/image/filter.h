// The 3x3 smoothing filter over the displayed part of a frame buffer.
#pragma once

#include "image/frame_buffer.h"

namespace lumo {

// Replaces every displayed pixel by the kernel (1 2 1 / 2 12 2 / 1 2 1) / 24 built from packed,
// truncating averages of the unfiltered picture; edge pixels are replicated outwards. In place.
void filterFrame(FrameBuffer& fb);

}  // namespace lumo
