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

TEST(Subsampling, TilesMeetOnLinesTracedBeforeThem) {
    // At full density the workers trace every pixel of their tiles but the lines between tiles, which
    // are traced before the tiles start: two column lines and one row line here.
    const int w = 2 * kTileSize + 36, h = kTileSize + 6;
    const auto onLine = [&](int y, int x) {
        return (x % kTileSize == 0 && x < (w & ~3)) || (y % kTileSize == 0 && y > 0 && y < (h & ~3));
    };
    RecordingSampler sampler(test::hashPicture);
    const FrameBuffer fb = render(w, h, subsampling(3, -1, -1, -1, -1, -1), sampler);
    size_t byWorkers = 0;
    for (int k = 0; k < 3; ++k)
        for (const auto& s : sampler.sinceEnter(k)) {
            ASSERT_FALSE(onLine(static_cast<int>(s.y), static_cast<int>(s.x))) << "worker " << k << " at " << s.y << ", " << s.x;
            ++byWorkers;
        }
    EXPECT_GT(byWorkers, static_cast<size_t>(w * h * 3 / 4));
    for (int y = 1; y < h; ++y)
        for (int x = 1; x <= w; ++x) ASSERT_EQ(fb.at(y, x), test::hashPicture(float(y), float(x))) << y << ", " << x;
}

TEST(Subsampling, AntiAliasingSmoothsTheLinesAfterTheTiles) {
    // The disc's rim crosses column line kTileSize and row line kTileSize: with anti-aliasing its
    // pixels there get the same sub-pixel samples as anywhere else, taken once the tiles are done.
    RecordingSampler sampler(test::discPicture);
    render(2 * kTileSize, 90, test::standardSubsampling(2, 2), sampler);
    int corners = 0;  // samples for cell corners (even pixels), which the tiles mark on the lines
    for (const auto& s : sampler.sinceEnter(0)) {
        const float line = static_cast<float>(kTileSize);
        ASSERT_TRUE(std::fabs(s.x - line) <= 0.75f || std::fabs(s.y - line) <= 0.75f) << s.y << ", " << s.x;
        const int py = static_cast<int>(std::ceil(s.y)), px = static_cast<int>(std::ceil(s.x));
        corners += py % 2 == 0 && px % 2 == 0;
    }
    EXPECT_GT(corners, 4);
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

TEST(Subsampling, SamePictureOnEveryThreadCountWithAndWithoutAntiAliasing) {
    for (int aa : {0, 1, 2})
        for (int w : {128, 100, 77}) {
            RecordingSampler one(test::discPicture);
            const FrameBuffer a = render(w, 90, test::standardSubsampling(1, aa), one);
            for (int threads : {2, 3, 8}) {
                RecordingSampler many(test::discPicture);
                const FrameBuffer b = render(w, 90, test::standardSubsampling(threads, aa), many);
                EXPECT_TRUE(sameDisplayedPicture(a, b)) << w << " wide, aa " << aa << ", " << threads << " threads";
                EXPECT_EQ(one.total(), many.total());
            }
        }
}

TEST(Subsampling, EveryDisplayedPixelIsWrittenWhateverTheSize) {
    for (int threads : {1, 3})
        for (int w : {1, 2, 3, 4, 5, 7, 8, 13, 19, 33, 36, 67})
            for (int h : {1, 2, 3, 4, 5, 9, 13, 33, 38}) {
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
