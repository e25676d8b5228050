#include <gtest/gtest.h>

#include <cmath>

#include "sampler_support.h"

namespace lumo {
namespace {

using test::RecordingSampler;

constexpr uint32_t kBase = 0x101010u;

struct AntiAliasFixture : testing::Test {
    FrameBuffer fb;
    RecordingSampler sampler{[](float, float) { return kBase; }};
    RefineSettings settings;

    void SetUp() override {
        fb.resize(8, 8);
        for (uint32_t& p : fb.pixels) p = kBase;
    }
    uint32_t antiAlias(int level, int x, int y) {
        settings.antiAliasing = level;
        BlockPass<RecordingSampler> pass(fb, sampler, settings, 0, SharedLines{});
        pass.antiAliasPixel(x, y);
        return fb.at(y, x);
    }
};

TEST_F(AntiAliasFixture, NoSampleWhileNeighboursDifferByAtMostT3) {
    fb.at(4, 3) = kBase + (48u << 16);
    EXPECT_EQ(antiAlias(2, 4, 4), kBase);
    EXPECT_TRUE(sampler.samples[0].empty());
}

TEST_F(AntiAliasFixture, LeftNeighbourAboveT3GetsTheHalfPixelSample) {
    fb.at(4, 3) = kBase + (49u << 16);
    EXPECT_EQ(antiAlias(1, 4, 4), kBase);
    ASSERT_EQ(sampler.samples[0].size(), 2u);
    EXPECT_EQ(sampler.samples[0][0].y, 4.0f);
    EXPECT_EQ(sampler.samples[0][0].x, 3.5f);
    // The unchanged lower half still differs from the left pixel: the diagonal is sampled too.
    EXPECT_EQ(sampler.samples[0][1].y, 3.5f);
    EXPECT_EQ(sampler.samples[0][1].x, 3.5f);
}

TEST_F(AntiAliasFixture, BestLevelRefinesTracedQuartersAgainstT4) {
    fb.at(4, 3) = kBase + (100u << 16);
    // q = (4, 3.5) and s = (3.5, 3.5) as above; q's left neighbour differs by 100 > T4 = 64, so the
    // quarter sample (4, 3.25) is traced; q's diagonal is the average 0x42 (difference 50): filled.
    const uint32_t result = antiAlias(2, 4, 4);
    ASSERT_EQ(sampler.samples[0].size(), 3u);
    EXPECT_EQ(sampler.samples[0][2].y, 4.0f);
    EXPECT_EQ(sampler.samples[0][2].x, 3.25f);
    // In red: q' = average4(0x10, average2(0x10, 0x42), 0x10, 0x10) = 0x16; s' gets the filled
    // average 0x29 on its left, so also 0x16; pixel = average4(0x10, 0x16, 0x16, 0x10) = 0x13.
    EXPECT_EQ(result, 0x131010u);
}

TEST(AntiAliasLevels, FractionalSamplesOnlyWithAntiAliasingAndQuartersOnlyAtBest) {
    int halves[3] = {}, quarters[3] = {};
    for (int level = 0; level <= 2; ++level) {
        RecordingSampler sampler(test::discPicture);
        FrameBuffer fb;
        fb.resize(120, 90);
        renderPasses(fb, test::standardSubsampling(1, level), sampler);
        for (const auto& s : sampler.samples[0]) {
            const float fy = s.y - std::floor(s.y), fx = s.x - std::floor(s.x);
            if (fy == 0.5f || fx == 0.5f) ++halves[level];
            if (fy == 0.25f || fy == 0.75f || fx == 0.25f || fx == 0.75f) ++quarters[level];
        }
    }
    EXPECT_EQ(halves[0] + quarters[0], 0);
    EXPECT_GT(halves[1], 0);
    EXPECT_EQ(quarters[1], 0);
    EXPECT_GT(quarters[2], 0);
}

}  // namespace
}  // namespace lumo
