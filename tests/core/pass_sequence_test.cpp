#include "core/pass_sequence.h"

#include <gtest/gtest.h>

#include <set>

namespace lumo {
namespace {

TEST(PassSequence, FirstPassIsThePlainFrameAndLaterPassesCoverThePixelEvenly) {
    EXPECT_EQ(passSeed(1), 12345u);  // the plain frame's photon seed
    EXPECT_EQ(passOffset(1).row, 0.0f);
    EXPECT_EQ(passOffset(1).column, 0.0f);
    EXPECT_EQ(causticGridOffset(1).row, 0.0f);
    EXPECT_EQ(causticGridOffset(1).column, 0.0f);

    std::set<uint32_t> seeds;
    int quadrants[4] = {};
    double rowSum = 0.0, columnSum = 0.0;
    for (int pass = 1; pass <= 64; ++pass) {
        seeds.insert(passSeed(pass));
        const PassOffset o = passOffset(pass), g = causticGridOffset(pass);
        ASSERT_TRUE(o.row >= -0.5f && o.row < 0.5f && o.column >= -0.5f && o.column < 0.5f) << pass;
        ASSERT_TRUE(g.row >= 0.0f && g.row < 1.0f && g.column >= 0.0f && g.column < 1.0f) << pass;
        ++quadrants[(o.row < 0.0f ? 0 : 2) + (o.column < 0.0f ? 0 : 1)];
        rowSum += o.row;
        columnSum += o.column;
    }
    EXPECT_EQ(seeds.size(), 64u);
    // Centred on the pixel, each quarter of it sampled about equally.
    EXPECT_NEAR(rowSum / 64, 0.0, 0.02);
    EXPECT_NEAR(columnSum / 64, 0.0, 0.02);
    for (int q : quadrants) EXPECT_NEAR(q, 16, 2);
}

}  // namespace
}  // namespace lumo
