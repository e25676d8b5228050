#include "core/pass_sequence.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace lumo {
namespace {

TEST(PassSequence, FirstPassIsThePlainFrameAndLaterPassesStratifyThePixel) {
    EXPECT_EQ(passSeed(1), 12345u);  // the plain frame's photon seed
    EXPECT_EQ(passOffset(1).row, 0.0f);
    EXPECT_EQ(passOffset(1).column, 0.0f);
    EXPECT_EQ(causticGridOffset(1).row, 0.0f);
    EXPECT_EQ(causticGridOffset(1).column, 0.0f);

    std::set<uint32_t> seeds;
    for (int pass = 1; pass <= 256; ++pass) {
        seeds.insert(passSeed(pass));
        const PassOffset g = causticGridOffset(pass);
        ASSERT_TRUE(g.row >= 0.0f && g.row < 1.0f && g.column >= 0.0f && g.column < 1.0f) << pass;
    }
    EXPECT_EQ(seeds.size(), 256u);
    // The first 16 passes hold one offset in each cell of a 4 x 4 grid over the pixel, the first 64
    // one in each cell of 8 x 8 and of 2 x 32.
    for (const auto& [passes, across, up] : {std::tuple(16, 4, 4), std::tuple(64, 8, 8), std::tuple(64, 2, 32)}) {
        std::set<int> cells;
        for (int pass = 1; pass <= passes; ++pass) {
            const PassOffset o = passOffset(pass);
            ASSERT_TRUE(o.row >= -0.5f && o.row < 0.5f && o.column >= -0.5f && o.column < 0.5f) << pass;
            cells.insert(static_cast<int>((o.row + 0.5f) * up) * across + static_cast<int>((o.column + 0.5f) * across));
        }
        EXPECT_EQ(cells.size(), static_cast<size_t>(passes)) << across << " x " << up;
    }
}

}  // namespace
}  // namespace lumo
