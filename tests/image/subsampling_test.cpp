#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include "sampler_support.h"

namespace lumo {
namespace {

using test::RecordingSampler;
using test::subsampling;

// {min x, min y, max x, max y} of what worker k traced itself; all zero when it traced nothing.
std::array<int, 4> tracedBox(const RecordingSampler& sampler, int k) {
    const auto own = sampler.sinceEnter(k);
    if (own.empty()) return {0, 0, 0, 0};
    std::array<int, 4> box{1 << 30, 1 << 30, -1, -1};
    for (const auto& s : own) {
        const int x = static_cast<int>(s.x), y = static_cast<int>(s.y);
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
    return box;
}

FrameBuffer render(int w, int h, const FrameParams& p, RecordingSampler& sampler) {
    FrameBuffer fb;
    fb.resize(w, h);
    renderPasses(fb, p, sampler);
    return fb;
}

bool sameDisplayedPicture(const FrameBuffer& a, const FrameBuffer& b) {
    for (int y = 0; y < a.height; ++y)
        for (int x = 1; x <= a.width; ++x)
            if (a.at(y, x) != b.at(y, x)) return false;
    return true;
}

TEST(Subsampling, WorkerRectanglesMeetAtHalfSize) {
    // At full density a worker traces every pixel of its rectangle but the lines it shares with the
    // others, which are traced before the workers start: (0, 0)-(320, 240) gives 1..319 by 1..239.
    const auto full = [](int threads) { return subsampling(threads, -1, -1, -1, -1, -1); };
    RecordingSampler four(test::hashPicture);
    render(640, 480, full(4), four);
    EXPECT_EQ(tracedBox(four, 0), (std::array{1, 1, 319, 239}));
    EXPECT_EQ(tracedBox(four, 1), (std::array{321, 1, 640, 239}));
    EXPECT_EQ(tracedBox(four, 2), (std::array{1, 241, 319, 480}));
    EXPECT_EQ(tracedBox(four, 3), (std::array{321, 241, 640, 480}));

    RecordingSampler two(test::hashPicture);
    render(640, 480, full(2), two);
    EXPECT_EQ(tracedBox(two, 0), (std::array{1, 1, 319, 480}));
    EXPECT_EQ(tracedBox(two, 1), (std::array{321, 1, 640, 480}));
    EXPECT_TRUE(two.samples[2].empty());
    EXPECT_TRUE(two.samples[3].empty());

    // Split lines stay on the 4-pixel grid when half the size is not a multiple of 4.
    RecordingSampler offGrid(test::hashPicture);
    render(644, 300, full(4), offGrid);
    EXPECT_EQ(tracedBox(offGrid, 0), (std::array{1, 1, 319, 147}));
    EXPECT_EQ(tracedBox(offGrid, 3), (std::array{321, 149, 644, 300}));

    RecordingSampler one(test::hashPicture);
    render(640, 480, full(1), one);
    EXPECT_EQ(tracedBox(one, 0), (std::array{1, 1, 640, 480}));
}

TEST(Subsampling, UniformPictureTracesOneSamplePerBlock) {
    for (int threads : {1, 2, 4}) {
        for (const FrameParams& p :
             {test::standardSubsampling(threads, 2), subsampling(threads, 0, -1, -1, -1, -1, 2)}) {
            RecordingSampler uniform([](float, float) { return 0x8899AAu; });
            const FrameBuffer fb = render(64, 48, p, uniform);
            EXPECT_EQ(uniform.total(), static_cast<size_t>(17 * 13)) << threads << " threads";
            for (int y = 0; y < 48; ++y)
                for (int x = 1; x <= 64; ++x) ASSERT_EQ(fb.at(y, x), 0x8899AAu);
        }
    }
}

TEST(Subsampling, RawPresetShowsFlatSquaresOfTheUpperRightCorner) {
    for (int threads : {1, 2, 4}) {
        RecordingSampler sampler(test::hashPicture);
        const FrameBuffer fb = render(64, 48, subsampling(threads, 9999, 300, 300, 300, 300), sampler);
        EXPECT_EQ(sampler.total(), static_cast<size_t>(17 * 13));
        for (int y = 1; y < 48; ++y)
            for (int x = 1; x <= 64; ++x) {
                const int cy = (y + 3) / 4 * 4, cx = (x + 3) / 4 * 4;
                ASSERT_EQ(fb.at(y, x), test::hashPicture(static_cast<float>(cy), static_cast<float>(cx)))
                    << threads << " threads, pixel (" << y << ", " << x << ")";
            }
    }
}

TEST(Subsampling, FullDensityTracesEveryPixelOnceAndNothingFractionalWithoutAntiAliasing) {
    for (int threads : {1, 2, 4}) {
        RecordingSampler sampler(test::hashPicture);
        const FrameBuffer fb = render(64, 48, subsampling(threads, -1, -1, -1, 48, 64), sampler);
        std::set<std::pair<int, int>> seen;
        for (const auto& slot : sampler.samples)
            for (const auto& s : slot) {
                ASSERT_EQ(s.y, std::floor(s.y));
                ASSERT_EQ(s.x, std::floor(s.x));
                ASSERT_TRUE(seen.insert({static_cast<int>(s.y), static_cast<int>(s.x)}).second)
                    << "traced twice: (" << s.y << ", " << s.x << ")";
            }
        // Everything above row 0 is traced; row 0 and column 0 are sampled every 4 and filled.
        for (int y = 1; y < 48; ++y)
            for (int x = 1; x <= 64; ++x)
                ASSERT_EQ(fb.at(y, x), test::hashPicture(static_cast<float>(y), static_cast<float>(x)));
        EXPECT_EQ(seen.size(), static_cast<size_t>(48 * 64 + 17 + 12));
    }
}

TEST(Subsampling, QuarterDensityTracesEverySecondPixel) {
    RecordingSampler sampler(test::hashPicture);
    render(64, 48, subsampling(1, -1, -1, 300, 300, 300), sampler);
    std::set<std::pair<int, int>> seen;
    for (const auto& s : sampler.samples[0]) {
        const int y = static_cast<int>(s.y), x = static_cast<int>(s.x);
        ASSERT_TRUE(y % 2 == 0 && x % 2 == 0) << y << ", " << x;
        seen.insert({y, x});
    }
    EXPECT_EQ(seen.size(), sampler.samples[0].size());
    EXPECT_EQ(seen.size(), static_cast<size_t>(24 * 32 + 17 + 12));
}

TEST(Subsampling, InterpolatingPresetTracesOnlyBlockCornersAcrossASharpEdge) {
    RecordingSampler sampler([](float, float x) { return x < 30.0f ? 0u : 0xFFFFFFu; });
    const FrameBuffer fb = render(64, 48, subsampling(1, -1, 300, 300, 300, 300), sampler);
    for (const auto& s : sampler.samples[0]) {
        ASSERT_EQ(static_cast<int>(s.y) % 4, 0);
        ASSERT_EQ(static_cast<int>(s.x) % 4, 0);
    }
    EXPECT_EQ(sampler.samples[0].size(), static_cast<size_t>(17 * 13));
    // The edge between columns 28 and 32 is blended: 0, 63, 127, 191, 255 across the block.
    EXPECT_EQ(fb.at(20, 28), 0u);
    EXPECT_EQ(fb.at(20, 30), 0x7F7F7Fu);
    EXPECT_EQ(fb.at(20, 29), 0x3F3F3Fu);
    EXPECT_EQ(fb.at(20, 31), 0xBFBFBFu);
}

TEST(Subsampling, SamePictureOnOneTwoAndFourThreadsWithoutAntiAliasing) {
    for (int w : {128, 100, 77}) {
        RecordingSampler one(test::discPicture), two(test::discPicture), four(test::discPicture);
        const FrameBuffer a = render(w, 90, test::standardSubsampling(1), one);
        const FrameBuffer b = render(w, 90, test::standardSubsampling(2), two);
        const FrameBuffer c = render(w, 90, test::standardSubsampling(4), four);
        EXPECT_TRUE(sameDisplayedPicture(a, b)) << w;
        EXPECT_TRUE(sameDisplayedPicture(a, c)) << w;
        EXPECT_EQ(one.total(), two.total());
        EXPECT_EQ(one.total(), four.total());
        EXPECT_GT(four.samples[3].size(), 0u);
    }
}

TEST(Subsampling, WorkersOnlyReadTheSharedLines) {
    // Every sample a worker takes lies strictly inside its rectangle or on its outer far edge; the
    // rectangles of 128 x 96 on four threads meet at column 64 and row 48.
    RecordingSampler sampler(test::discPicture);
    render(128, 96, test::standardSubsampling(4, 2), sampler);
    const std::array<int, 4> rects[4] = {{0, 0, 64, 48}, {64, 0, 128, 48}, {0, 48, 64, 96}, {64, 48, 128, 96}};
    for (int k = 0; k < 4; ++k) {
        const auto& r = rects[k];
        EXPECT_FALSE(sampler.sinceEnter(k).empty());
        for (const auto& s : sampler.sinceEnter(k)) {
            ASSERT_GT(s.x, r[0]);
            ASSERT_GT(s.y, r[1]);
            ASSERT_LE(s.x, r[2]);
            ASSERT_LE(s.y, r[3]);
            if (r[2] != 128) {
                ASSERT_LT(s.x, r[2]);
            }
            if (r[3] != 96) {
                ASSERT_LT(s.y, r[3]);
            }
        }
    }
}

TEST(Subsampling, EveryDisplayedPixelIsWrittenWhateverTheSize) {
    for (int threads : {1, 2, 4})
        for (int w = 1; w <= 19; ++w)
            for (int h = 1; h <= 13; ++h) {
                FrameBuffer fb;
                fb.resize(w, h);
                for (uint32_t& p : fb.pixels) p = 0xFF000000u;  // never a packed colour
                RecordingSampler sampler(test::discPicture);
                renderPasses(fb, test::standardSubsampling(threads, 2), sampler);
                for (int y = 0; y < h; ++y)
                    for (int x = 1; x <= w; ++x)
                        ASSERT_EQ(fb.at(y, x) >> 24, 0u)
                            << w << "x" << h << " on " << threads << " pixel (" << y << ", " << x << ")";
            }
}

TEST(Subsampling, MarginBeyondTheGridIsTraced) {
    RecordingSampler sampler(test::hashPicture);
    const FrameBuffer fb = render(66, 51, subsampling(2, 9999, 300, 300, 300, 300), sampler);
    for (int y = 0; y < 51; ++y)
        for (int x = 65; x <= 66; ++x) ASSERT_EQ(fb.at(y, x), test::hashPicture(float(y), float(x)));
    for (int y = 49; y < 51; ++y)
        for (int x = 1; x <= 64; ++x) ASSERT_EQ(fb.at(y, x), test::hashPicture(float(y), float(x)));
    EXPECT_EQ(sampler.total(), static_cast<size_t>(17 * 13 + 51 * 2 + 2 * 64));
}

}  // namespace
}  // namespace lumo
