#include "image/filter.h"

#include <gtest/gtest.h>

namespace lumo {
namespace {

FrameBuffer filled(int w, int h, uint32_t value) {
    FrameBuffer fb;
    fb.resize(w, h);
    for (uint32_t& p : fb.pixels) p = value;
    return fb;
}

TEST(Filter, LeavesUniformPictureUnchanged) {
    FrameBuffer fb = filled(17, 9, 0x3A7FC1u);
    const auto before = fb.pixels;
    filterFrame(fb);
    EXPECT_EQ(fb.pixels, before);
}

TEST(Filter, KernelWeightsOfOnePointInTheMiddle) {
    FrameBuffer fb = filled(8, 8, 0u);
    fb.at(4, 4) = 240u;  // blue channel
    filterFrame(fb);
    EXPECT_EQ(fb.at(4, 4), 120u);  // 12/24
    EXPECT_EQ(fb.at(5, 4), 20u);   // 2/24
    EXPECT_EQ(fb.at(4, 3), 20u);
    EXPECT_EQ(fb.at(3, 5), 10u);  // 1/24
    EXPECT_EQ(fb.at(6, 4), 0u);
}

TEST(Filter, ReplicatesEdgesAndUsesOnlyUnfilteredValues) {
    FrameBuffer fb = filled(6, 5, 0u);
    fb.at(0, 1) = 240u << 8;  // green, bottom-left displayed corner
    fb.at(4, 0) = 0xFFFFFFu;  // column 0 and row 5 are not displayed: ignored and untouched
    fb.at(5, 3) = 0xFFFFFFu;
    filterFrame(fb);
    // The corner sees itself as its west, south and south-west neighbour: (12 + 2 + 2 + 1) / 24.
    EXPECT_EQ(fb.at(0, 1), 170u << 8);
    // Its neighbours are computed from the unfiltered corner value, not from 170.
    EXPECT_EQ(fb.at(0, 2), 30u << 8);  // west 2 plus south-west 1 (replicated row): 3/24
    EXPECT_EQ(fb.at(4, 0), 0xFFFFFFu);
    EXPECT_EQ(fb.at(5, 3), 0xFFFFFFu);
    EXPECT_EQ(fb.at(4, 1), 0u);
    EXPECT_EQ(fb.at(4, 3), 0u);
}

}  // namespace
}  // namespace lumo
