#include "image/frame_buffer.h"

namespace lumo {

void FrameBuffer::resize(int w, int h) {
    width = w > 0 ? w : 0;
    height = h > 0 ? h : 0;
    pixels.assign(static_cast<size_t>(width + 1) * static_cast<size_t>(height + 1), 0u);
}

}  // namespace lumo
