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
        ASSERT_EQ(moved, pass == 1 ? 15 : 0) << pass;
        ASSERT_EQ(fb.at(2, 5), 0x00FF7F01u) << pass;
    }
    EXPECT_EQ(mean.sums.size(), 5u * 3u * 3u);
    EXPECT_EQ(mean.sums[0], 255.0f * 256);
    EXPECT_EQ(mean.sums[44], 256.0f);
}

TEST(PassMean, TheMeanRoundsToTheNearestLevelAndAFirstPassStartsAfresh) {
    PassMean mean;
    FrameBuffer a = filled(2, 2, 0x000A0000);
    addPass(mean, a, true);
    FrameBuffer b = filled(2, 2, 0x000A0000);
    b.at(1, 2) = 0x000D0000;  // red 10 and 13: 11.5 rounds to 12
    b.at(0, 1) = 0x00090000;  // 10 and 9: 9.5 rounds to 10, no move
    EXPECT_EQ(addPass(mean, b, false), 1);
    EXPECT_EQ(b.at(1, 2), 0x000C0000u);
    EXPECT_EQ(b.at(0, 1), 0x000A0000u);
    FrameBuffer c = filled(2, 2, 0x000A0000);
    c.at(1, 2) = 0x00070000;  // (23 + 7) / 3 = 10: moved back from 12
    EXPECT_EQ(addPass(mean, c, false), 1);
    EXPECT_EQ(c.at(1, 2), 0x000A0000u);

    FrameBuffer fresh = filled(3, 1, 0x00204060);
    EXPECT_EQ(addPass(mean, fresh, true), 3);
    EXPECT_EQ(mean.passes, 1);
    EXPECT_EQ(fresh.at(0, 3), 0x00204060u);
}

}  // namespace
}  // namespace lumo
