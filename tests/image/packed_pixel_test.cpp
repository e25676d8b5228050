#include "image/packed_pixel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace lumo {
namespace {

uint32_t pixel(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }

TEST(PackedPixel, PacksClampedTruncatedChannels) {
    EXPECT_EQ(packColour(vec3(1.2f, 0.5f, -0.1f)), 0x00FF7F00u);
    EXPECT_EQ(packColour(vec3(1.0f, 0.0f, 0.999f)), 0x00FF00FEu);
    EXPECT_EQ(packColour(vec3(0.2f, 0.4f, 0.6f)), pixel(51, 102, 153));
    EXPECT_EQ(packColour(vec3(std::nanf(""), 0.5f, 2.0f)), 0x00007FFFu);
}

TEST(PackedPixel, AveragesAreTruncatingPerChannel) {
    EXPECT_EQ(average2(0x00FF0000u, 0x00010000u), 0x00800000u);
    EXPECT_EQ(average4(0x000000FFu, 0x000000FFu, 0u, 0u), 0x0000007Fu);
    EXPECT_EQ(average3(pixel(1, 2, 255), pixel(1, 2, 255), pixel(0, 2, 254)), pixel(0, 2, 254));

    // No carry ever crosses from one channel into the next.
    std::mt19937 gen(7);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t a = gen() & 0xFFFFFFu, b = gen() & 0xFFFFFFu, c = gen() & 0xFFFFFFu, d = gen() & 0xFFFFFFu;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t ca = a >> shift & 0xFF, cb = b >> shift & 0xFF, cc = c >> shift & 0xFF,
                           cd = d >> shift & 0xFF;
            ASSERT_EQ(average2(a, b) >> shift & 0xFF, (ca + cb) / 2);
            ASSERT_EQ(average3(a, b, c) >> shift & 0xFF, (ca + cb + cc) / 3);
            ASSERT_EQ(average4(a, b, c, d) >> shift & 0xFF, (ca + cb + cc + cd) / 4);
        }
        ASSERT_EQ(average4(a, b, c, d) >> 24, 0u);
    }
}

TEST(PackedPixel, Differences) {
    EXPECT_EQ(maxChannelDifference(pixel(10, 200, 30), pixel(20, 100, 35)), 100);
    EXPECT_EQ(maxChannelDifference(pixel(0, 0, 255), pixel(0, 0, 0)), 255);
    EXPECT_EQ(maxChannelDifference(0x123456u, 0x123456u), 0);
    // (a,b): 10+100+5, (c,d): 0, (a,d): 10+100+5, (c,b): 0
    const uint32_t a = pixel(10, 200, 30), b = pixel(20, 100, 35);
    EXPECT_EQ(blockDifference(a, b, b, b), 230);
    EXPECT_EQ(blockDifference(0xFFFFFFu, 0u, 0xFFFFFFu, 0u), 3060);
    EXPECT_EQ(blockDifference(a, a, a, a), 0);
}

}  // namespace
}  // namespace lumo
