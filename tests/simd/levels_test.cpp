// Which packet levels this machine exercises: the kernel tests run every level up to the processor's
// widest, so a log from a machine without AVX-512 shows those kernels as not exercised.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/isa.h"
#include "simd/camera_packets.h"

namespace lumo {
namespace {

class PacketLevel : public testing::TestWithParam<Isa> {};

TEST_P(PacketLevel, HasEveryKernelOnThisProcessor) {
    const Isa level = GetParam();
    if (level > processorIsa())
        GTEST_SKIP() << "this processor has no " << isaName(level) << ": its kernels are not exercised here";
    const PacketKernels k = packetKernels(level);
    EXPECT_EQ(k.lanes, isaLanes(level));
    EXPECT_TRUE(k.camera && k.occlusion && k.phong && k.shadowRays && k.leaf && k.leafOcclusion);
    std::printf("packet kernels exercised at %s (%d lanes)\n", isaName(level), k.lanes);
}

INSTANTIATE_TEST_SUITE_P(Levels, PacketLevel, testing::Values(kIsaSse, kIsaAvx2, kIsaAvx512),
                         [](const testing::TestParamInfo<Isa>& info) { return std::string(isaName(info.param)); });

TEST(PacketLevel, ScalarHasNoKernels) {
    const PacketKernels k = packetKernels(kIsaScalar);
    EXPECT_EQ(k.lanes, 1);
    EXPECT_FALSE(k.camera || k.occlusion || k.phong || k.shadowRays || k.leaf || k.leafOcclusion);
}

}  // namespace
}  // namespace lumo
