#include "image/pass_mean.h"

#include <gtest/gtest.h>

namespace lumo {
namespace {

FrameBuffer filled(int w, int h, uint32_t pixel) {
    FrameBuffer fb;
    fb.resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 1; x <= w; ++x) fb.at(y, x) = pixel;
    return fb;
}

TEST(PassMean, AConstantPictureAccumulatesExactlyAndMovesNothing) {
    PassMean mean;
    for (int pass = 1; pass <= 256; ++pass) {
        FrameBuffer fb = filled(5, 3, 0x00FF7F01);
        const int64_t moved = addPass(mean, fb, pass == 1);
        ASSERT_EQ(moved, pass == 1 ? 45 : 0) << pass;
        ASSERT_EQ(fb.at(2, 5), 0x00FF7F01u) << pass;
    }
    ASSERT_EQ(mean.sums.size(), 5u * 3u * kPassMeanLanes);
    EXPECT_EQ(mean.sums[2], 255.0f * 256);  // red of the first pixel
    EXPECT_EQ(mean.sums[mean.sums.size() - 4], 256.0f);  // blue of the last
}

TEST(PassMean, TheMeanRoundsToTheNearestLevelAndAFirstPassStartsAfresh) {
    // Six columns: four go through the vector path, two through the scalar one.
    PassMean mean;
    FrameBuffer a = filled(6, 2, 0x000A0000);
    addPass(mean, a, true);
    FrameBuffer b = filled(6, 2, 0x000A0000);
    b.at(1, 2) = 0x000D0000;  // red 10 and 13: 11.5 rounds to 12
    b.at(0, 5) = 0x000D0000;
    b.at(0, 6) = 0x00090000;  // 10 and 9: 9.5 rounds to 10, no move
    EXPECT_EQ(addPass(mean, b, false), 2);
    EXPECT_EQ(b.at(1, 2), 0x000C0000u);
    EXPECT_EQ(b.at(0, 5), 0x000C0000u);
    EXPECT_EQ(b.at(0, 6), 0x000A0000u);
    FrameBuffer c = filled(6, 2, 0x000A0000);
    c.at(1, 2) = 0x00070000;  // (23 + 7) / 3 = 10: moved back from 12
    EXPECT_EQ(addPass(mean, c, false), 2);  // and (23 + 10) / 3 = 11 at (0, 5)
    EXPECT_EQ(c.at(1, 2), 0x000A0000u);
    EXPECT_EQ(c.at(0, 5), 0x000B0000u);

    FrameBuffer fresh = filled(3, 1, 0x00204060);
    EXPECT_EQ(addPass(mean, fresh, true), 9);
    EXPECT_EQ(mean.passes, 1);
    EXPECT_EQ(fresh.at(0, 3), 0x00204060u);
}

}  // namespace
}  // namespace lumo
