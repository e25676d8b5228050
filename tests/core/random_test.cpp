#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "core/random.h"

namespace lumo {
namespace {

// A deliberately plain second implementation of the generator: a flat array of 34 words, the lag
// positions as counters modulo 17, and the result assembled arithmetically rather than from bits.
class ReferenceRanrot {
public:
    explicit ReferenceRanrot(uint32_t s) {
        for (int i = 0; i < 34; ++i) {
            s = static_cast<uint32_t>((static_cast<uint64_t>(s) * 0xAC564B05u + 1u) & 0xFFFFFFFFu);
            words[i] = s;
        }
        for (int i = 0; i < 32; ++i) next();
    }
    double next() {
        const int i1 = ((first % 17) + 17) % 17, i2 = ((second % 17) + 17) % 17;
        const uint32_t y = rotateLeft(words[2 * i1], 19) + words[2 * i2];
        const uint32_t z = rotateLeft(words[2 * i1 + 1], 27) + words[2 * i2 + 1];
        words[2 * i1] = z;
        words[2 * i1 + 1] = y;
        first -= 1;
        second -= 1;
        // 20 bits from z above 12 bits from y.
        return std::ldexp(static_cast<double>(z >> 12), -20) + std::ldexp(static_cast<double>(y & 0xFFFu), -32);
    }

private:
    static uint32_t rotateLeft(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
    uint32_t words[34];
    int first = 0;
    int second = 10;
};

TEST(RandomGenerator, MatchesReferenceAndPinnedValues) {
    Random r;
    r.seed(12345);
    ReferenceRanrot ref(12345);
    double first[4];
    for (int i = 0; i < 2000; ++i) {
        const double v = r.next();
        ASSERT_EQ(v, ref.next()) << "draw " << i;
        if (i < 4) first[i] = v;
    }
    EXPECT_EQ(first[0], 0.31629654951393604);
    EXPECT_EQ(first[1], 0.751609728904441);
    EXPECT_EQ(first[2], 0.77306377468630672);
    EXPECT_EQ(first[3], 0.91511868010275066);
}

TEST(RandomGenerator, ReseedingRepeatsTheSequenceAndStaysBelowOne) {
    Random r;
    r.seed(12345);
    double a[64];
    for (double& v : a) v = r.next();
    r.seed(12345);
    for (double v : a) EXPECT_EQ(r.next(), v);
    // A value type: a copy continues identically, a different seed diverges.
    r.seed(7);
    Random copy = r;
    for (int i = 0; i < 100; ++i) EXPECT_EQ(r.next(), copy.next());
    Random other;
    other.seed(8);
    int equal = 0;
    for (int i = 0; i < 100; ++i) equal += r.next() == other.next();
    EXPECT_LT(equal, 2);
    double lo = 1, hi = 0, sum = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double v = r.next();
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
        ASSERT_GE(r.p1, 0);
        ASSERT_LE(r.p1, 16);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
    }
    EXPECT_LT(lo, 1e-4);
    EXPECT_GT(hi, 1 - 1e-4);
    EXPECT_NEAR(sum / n, 0.5, 0.005);
}

TEST(RandomGenerator, LargestDrawIsBelowOne) {
    // All 32 mantissa bits set: 1 - 2^-32, the largest value the generator can return.
    Random r;
    for (auto& pair : r.ring) pair[0] = pair[1] = 0;
    r.ring[0][0] = r.ring[0][1] = 0xFFFFFFFFu;
    r.p1 = 0;
    r.p2 = 10;
    EXPECT_EQ(r.next(), 1.0 - std::ldexp(1.0, -32));
    EXPECT_EQ(r.p1, 16);
    EXPECT_EQ(r.p2, 9);
}

TEST(RandomDirections, UnitLengthAndRanges) {
    Random r;
    r.seed(99);
    double zSum = 0;
    for (int i = 0; i < 5000; ++i) {
        const Vec3 d = uniformSphereDirection(r);
        ASSERT_NEAR(length(d), 1.0, 1e-6);
        zSum += d.z;
        const Vec3 b = uniformBandDirection(r, 1.0f, 0.2f, 0.6f);
        ASSERT_NEAR(length(b), 1.0, 1e-6);
        ASSERT_GE(b.z, std::sin(0.2f) - 1e-6f);
        ASSERT_LE(b.z, std::sin(0.6f) + 1e-6f);
        ASSERT_GE(std::atan2(b.y, b.x), -1e-6f);  // azimuth in [0, sweep)
        ASSERT_LE(std::atan2(b.y, b.x), 1.0f + 1e-6f);
        const Vec3 s = sqrtBandDirection(r, kTwoPi, 0.0f, kHalfPi);
        ASSERT_NEAR(length(s), 1.0, 1e-6);
        ASSERT_GE(s.z, 0.0f);
    }
    EXPECT_NEAR(zSum / 5000, 0.0, 0.03);
}

TEST(RandomDirections, DirectionsFollowTheDrawOrder) {
    Random r, u;
    r.seed(5);
    u.seed(5);
    const Vec3 d = uniformSphereDirection(r);
    const double u1 = u.next(), u2 = u.next();
    const double z = 2 * u1 - 1, phi = u2 * kTwoPi;
    EXPECT_NEAR(d.z, z, 1e-7);
    EXPECT_NEAR(d.x, std::sqrt(1 - z * z) * std::cos(phi), 1e-6);
    EXPECT_NEAR(d.y, std::sqrt(1 - z * z) * std::sin(phi), 1e-6);
}

TEST(RandomDirections, CosineDirection) {
    // About the z axis the second frame is used and z is the square root of the first draw.
    Random r, u;
    r.seed(11);
    u.seed(11);
    for (int i = 0; i < 100; ++i) {
        const Vec3 d = cosineDirection(r, {0, 0, 1});
        const double u1 = u.next(), u2 = u.next();
        ASSERT_NEAR(d.z, std::sqrt(u1), 1e-6);
        const double s = std::sqrt(1 - u1);
        ASSERT_NEAR(d.x, s * std::cos(u2 * kTwoPi), 1e-6);
        ASSERT_NEAR(d.y, s * std::sin(u2 * kTwoPi), 1e-6);
    }
    // About a general normal: unit length, in the hemisphere, cosine-distributed (mean cos = 2/3).
    for (const Vec3 n : {normalize({0.3f, -0.5f, 0.8f}), Vec3{1, 0, 0}, normalize({0.01f, 0.002f, -1})}) {
        double cosSum = 0;
        for (int i = 0; i < 20000; ++i) {
            const Vec3 d = cosineDirection(r, n);
            ASSERT_NEAR(length(d), 1.0, 1e-6);
            const double c = dot(d, n);
            ASSERT_GE(c, -1e-6);
            cosSum += c;
        }
        EXPECT_NEAR(cosSum / 20000, 2.0 / 3.0, 0.01);
    }
}

}  // namespace
}  // namespace lumo
