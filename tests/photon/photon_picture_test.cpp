#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "photon/photon_pass.h"
#include "photon/quadtree.h"
#include "shade/photon_estimate.h"
#include "support/render_support.h"

namespace lumo {
namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Whole pictures as the program makes them, every pixel traced on one thread.
class PhotonPicture : public testing::Test {
protected:
    // The demo scene with the kernel and photon switches its selection sets.
    void scene(int id) {
        render_ = std::make_unique<test::TestRender>(id);
        RenderParams& p = render_->params;
        p.sampling = kSamplingOneToOne;
        p.threadCount = 1;
        p.antiAliasing = 0;
        p.filter = false;
    }
    PhotonParams& photons() { return render_->params.photons; }
    Scene& current() { return *render_->scene; }
    std::vector<Rgb> frame() {
        const FrameBuffer fb = render_->frame(kWidth, kHeight, 0.0, false);
        std::vector<Rgb> px;
        for (int row = 0; row < kHeight; ++row)
            for (int col = 1; col <= kWidth; ++col) {
                const uint32_t p = fb.at(row, col);
                px.push_back({static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
                              static_cast<int>(p & 0xFF)});
            }
        return px;
    }
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    std::unique_ptr<test::TestRender> render_;
};

TEST_F(PhotonPicture, CausticsBrightenTheFloorUnderTheEgg) {
    scene(8);
    ASSERT_TRUE(photons().causticsCalculate);
    const std::vector<Rgb> with = frame();
    photons().causticsDisplay = false;
    photons().causticsCalculate = false;
    const std::vector<Rgb> without = frame();
    int brighter = 0;
    int lowRows = 0;
    for (size_t i = 0; i < with.size(); ++i) {
        EXPECT_GE(with[i].g, without[i].g) << "pixel " << i;  // photon light only adds
        if (with[i].g >= without[i].g + 40) {
            ++brighter;
            if (static_cast<int>(i) / kWidth < kHeight / 2) ++lowRows;  // rows count from the bottom
        }
    }
    EXPECT_GE(brighter, 4);
    EXPECT_EQ(lowRows, brighter) << "the caustic lies on the floor, in the lower half";
}

TEST_F(PhotonPicture, MapStaysFrozenWhileCalculateIsOff) {
    scene(8);
    frame();
    SceneObject* ground = nullptr;
    forEachParallelogram(current(), [&](SceneObject& o) { ground = &o; });
    ASSERT_NE(ground, nullptr);
    const Vec3 before = photonEstimate(current().descriptor, photons(), ground, 0.4f, 0.55f);
    const int depth = maxDepth(ground->patch.photonTree, 0);
    // Calculate off (as Animation off does), then a setting that a pass would use.
    photons().causticsCalculate = false;
    photons().causticSplitCount = 20;
    frame();
    EXPECT_EQ(photonEstimate(current().descriptor, photons(), ground, 0.4f, 0.55f).y, before.y);
    EXPECT_EQ(maxDepth(ground->patch.photonTree, 0), depth);
    photons().causticsCalculate = true;
    frame();
    EXPECT_GE(maxDepth(ground->patch.photonTree, 0), depth);  // a smaller split count splits at least as deep
}

TEST_F(PhotonPicture, GlobalIlluminationLightsTheShadowedFloor) {
    scene(9);
    ASSERT_TRUE(photons().giCalculate);
    photons().giPhotonCount = 125000;
    photons().interpolationKernel = 0;
    const std::vector<Rgb> gi = frame();
    // Direct light alone: the same display with an empty map.
    photons().giCalculate = false;
    resetQuadtrees(current(), photonMapsOf(current()).roots);
    const std::vector<Rgb> direct = frame();
    // Upward-facing surfaces show as (0.5, 0.5, 1.0) in the Normals view: the floor and the block tops.
    render_->params.shader = kShaderNormals;
    const std::vector<Rgb> normals = frame();
    int floor = 0;
    int shadowed = 0;
    int lit = 0;
    for (size_t i = 0; i < gi.size(); ++i) {
        EXPECT_GE(gi[i].r + gi[i].g + gi[i].b, direct[i].r + direct[i].g + direct[i].b) << "pixel " << i;
        const bool up = normals[i].b == 255 && std::abs(normals[i].r - 128) <= 1 && std::abs(normals[i].g - 128) <= 1;
        if (!up) continue;
        ++floor;
        if (direct[i].r + direct[i].g + direct[i].b <= 3) {
            ++shadowed;
            if (gi[i].g >= 20) ++lit;
        }
    }
    EXPECT_GE(floor, 1000);
    EXPECT_GE(shadowed, 50);
    EXPECT_EQ(lit, shadowed);
}

// Caustic and GI maps, and so the pictures, are the same on any number of threads.
TEST_F(PhotonPicture, PicturesDoNotDependOnTheThreadCount) {
    for (int id : {8, 9}) {
        std::vector<Rgb> one;
        for (int threads : {1, 2, 3, 8}) {
            scene(id);
            ASSERT_TRUE(id == 8 ? photons().causticsCalculate : photons().giCalculate);
            photons().giPhotonCount = 20000;
            render_->params.threadCount = threads;
            const std::vector<Rgb> here = frame();
            if (threads == 1) one = here;
            else EXPECT_TRUE(here == one) << "scene " << id << ", " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace lumo
