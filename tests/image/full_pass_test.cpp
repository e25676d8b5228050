#include <gtest/gtest.h>

#include <algorithm>

#include "sampler_support.h"

namespace lumo {
namespace {

using test::RecordingSampler;

FrameParams oneToOne(int threads) {
    FrameParams p;
    p.samplingMode = 1;
    p.threadCount = threads;
    return p;
}

class FullPass : public testing::TestWithParam<int> {};

TEST_P(FullPass, TracesEveryDisplayedPixelExactlyOnceTileByTile) {
    const int threads = GetParam();
    for (auto [w, h] : {std::pair{100, 70}, std::pair{37, 23}, std::pair{2, 1}, std::pair{1, 3}}) {
        FrameBuffer fb;
        fb.resize(w, h);
        RecordingSampler sampler(test::hashPicture);
        renderPasses(fb, oneToOne(threads), sampler);

        std::vector<int> count(static_cast<size_t>(w + 1) * (h + 1), 0);
        for (int k = 0; k < test::kRecordedSlots; ++k) {
            const auto& samples = sampler.samples[k];
            if (k >= threads) {
                EXPECT_TRUE(samples.empty());
            }
            // A worker traces whole tiles, each row by row from the bottom, left to right.
            for (size_t i = 0; i < samples.size();) {
                const int x0 = static_cast<int>(samples[i].x), y0 = static_cast<int>(samples[i].y);
                int tile = 0;
                while (tile < fullPassTileCount(w, h) &&
                       !(fullPassTile(tile, w, h).columnBegin == x0 && fullPassTile(tile, w, h).rowBegin == y0))
                    ++tile;
                ASSERT_LT(tile, fullPassTileCount(w, h)) << "worker " << k << " started a tile at " << y0 << ", " << x0;
                const PixelRange r = fullPassTile(tile, w, h);
                for (int y = r.rowBegin; y < r.rowEnd; ++y)
                    for (int x = r.columnBegin; x < r.columnEnd; ++x, ++i) {
                        ASSERT_LT(i, samples.size());
                        ASSERT_EQ(samples[i].y, static_cast<float>(y));
                        ASSERT_EQ(samples[i].x, static_cast<float>(x));
                        ++count[static_cast<size_t>(y) * (w + 1) + x];
                    }
            }
        }
        for (int y = 0; y <= h; ++y)
            for (int x = 0; x <= w; ++x) {
                const bool displayed = y < h && x >= 1;
                ASSERT_EQ(count[static_cast<size_t>(y) * (w + 1) + x], displayed ? 1 : 0)
                    << w << "x" << h << " pixel (" << y << ", " << x << ")";
                if (displayed) {
                    ASSERT_EQ(fb.at(y, x), test::hashPicture(static_cast<float>(y), static_cast<float>(x)));
                }
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, FullPass, testing::Values(1, 2, 3, 8));

}  // namespace
}  // namespace lumo
