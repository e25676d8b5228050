// The picture a frame renders into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumo {

// (width + 1) x (height + 1) packed 0x00RRGGBB pixels, bottom-up; visible: columns 1..width of rows
// 0..height-1. Cleared whenever it is (re)allocated.
struct FrameBuffer {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    void resize(int w, int h);
    uint32_t& at(int row, int column) { return pixels[static_cast<size_t>(row) * (width + 1) + column]; }
    uint32_t at(int row, int column) const { return pixels[static_cast<size_t>(row) * (width + 1) + column]; }
};

}  // namespace lumo
