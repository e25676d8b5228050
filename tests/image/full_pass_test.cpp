#include <gtest/gtest.h>

#include <algorithm>
#include <array>

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

TEST_P(FullPass, TracesEveryDisplayedPixelExactlyOnceInItsWorkersRange) {
    const int threads = GetParam();
    for (auto [w, h] : {std::pair{64, 48}, std::pair{37, 23}, std::pair{2, 1}, std::pair{1, 3}}) {
        FrameBuffer fb;
        fb.resize(w, h);
        RecordingSampler sampler(test::hashPicture);
        renderPasses(fb, oneToOne(threads), sampler);

        std::vector<int> count(static_cast<size_t>(w + 1) * (h + 1), 0);
        for (int k = 0; k < 4; ++k) {
            const PixelRange r = fullPassRange(k, threads, w, h);
            const auto& samples = sampler.samples[k];
            if (k >= threads) {
                EXPECT_TRUE(samples.empty());
            }
            for (size_t i = 0; i < samples.size(); ++i) {
                const int y = static_cast<int>(samples[i].y), x = static_cast<int>(samples[i].x);
                ASSERT_EQ(static_cast<float>(y), samples[i].y);
                ASSERT_EQ(static_cast<float>(x), samples[i].x);
                ASSERT_TRUE(y >= r.rowBegin && y < r.rowEnd && x >= r.columnBegin && x < r.columnEnd)
                    << "worker " << k << " traced (" << y << ", " << x << ")";
                if (i > 0) {  // rows upward, each row left to right
                    const auto& p = samples[i - 1];
                    ASSERT_TRUE(p.y < samples[i].y || (p.y == samples[i].y && p.x < samples[i].x));
                }
                ++count[static_cast<size_t>(y) * (w + 1) + x];
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

INSTANTIATE_TEST_SUITE_P(Threads, FullPass, testing::Values(1, 2, 4));

TEST(FullPassRanges, SplitAtHalfWidthAndHalfHeight) {
    const PixelRange two0 = fullPassRange(0, 2, 640, 480), two1 = fullPassRange(1, 2, 640, 480);
    EXPECT_EQ((std::array{two0.rowBegin, two0.rowEnd, two0.columnBegin, two0.columnEnd}), (std::array{0, 480, 1, 320}));
    EXPECT_EQ((std::array{two1.rowBegin, two1.rowEnd, two1.columnBegin, two1.columnEnd}),
              (std::array{0, 480, 320, 641}));
    const PixelRange four2 = fullPassRange(2, 4, 640, 480), four3 = fullPassRange(3, 4, 640, 480);
    EXPECT_EQ((std::array{four2.rowBegin, four2.rowEnd, four2.columnBegin, four2.columnEnd}),
              (std::array{240, 480, 1, 320}));
    EXPECT_EQ((std::array{four3.rowBegin, four3.rowEnd, four3.columnBegin, four3.columnEnd}),
              (std::array{240, 480, 320, 641}));
}

}  // namespace
}  // namespace lumo
