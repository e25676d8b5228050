#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/commands.h"
#include "app/frame_steps.h"
#include "app/settings.h"
#include "image/frame.h"
#include "photon/estimate.h"
#include "photon/quadtree.h"
#include "scene/world.h"
#include "shade/shader.h"

namespace lumo {
namespace {

struct Rgb {
    int r, g, b;
};

// Whole pictures through the frame steps, every pixel traced on one thread.
class PhotonPicture : public testing::Test {
protected:
    void SetUp() override { saved_ = settings(); }
    void TearDown() override { settings() = saved_; }

    void scene(int id) {
        selectScene(id);  // the Demo menu command: kernel and photon switches as the menu sets them
        settings().samplingMode = 1;
        settings().threadCount = 1;
        settings().antiAliasing = 0;
        settings().filterOn = 0;
    }
    std::vector<Rgb> frame() {
        FrameBuffer fb;
        fb.resize(kWidth, kHeight);
        produceFrame(fb, 0.0, false);
        std::vector<Rgb> px;
        for (int row = 0; row < kHeight; ++row)
            for (int col = 1; col <= kWidth; ++col) {
                const uint32_t p = fb.at(row, col);
                px.push_back({static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)});
            }
        return px;
    }
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

private:
    RenderSettings saved_;
};

TEST_F(PhotonPicture, CausticsBrightenTheFloorUnderTheEgg) {
    scene(8);
    ASSERT_EQ(settings().causticsCalculate, 1);
    const std::vector<Rgb> with = frame();
    settings().causticsDisplay = 0;
    settings().causticsCalculate = 0;
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
    forEachParallelogram(currentScene().root, [&](SceneObject& o) { ground = &o; });
    ASSERT_NE(ground, nullptr);
    const Vec3 before = photonEstimate(ground, 0.4f, 0.55f);
    const int depth = maxDepth(ground->patch.photonTree, 0);
    // Calculate off (as Animation off does), then a setting that a pass would use.
    settings().causticsCalculate = 0;
    settings().causticSplitCount = 20;
    frame();
    EXPECT_EQ(photonEstimate(ground, 0.4f, 0.55f).y, before.y);
    EXPECT_EQ(maxDepth(ground->patch.photonTree, 0), depth);
    settings().causticsCalculate = 1;
    frame();
    EXPECT_GE(maxDepth(ground->patch.photonTree, 0), depth);  // a smaller split count splits at least as deep
}

TEST_F(PhotonPicture, GlobalIlluminationLightsTheShadowedFloor) {
    scene(9);
    ASSERT_EQ(settings().giCalculate, 1);
    settings().giPhotonCount = 125000;
    settings().interpolationKernel = 0;
    const std::vector<Rgb> gi = frame();
    // Direct light alone: the same display with an empty map.
    settings().giCalculate = 0;
    resetQuadtrees(currentScene());
    const std::vector<Rgb> direct = frame();
    // Upward-facing surfaces show as (0.5, 0.5, 1.0) in the Normals view: the floor and the block tops.
    settings().currentShader = shadeNormals;
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

}  // namespace
}  // namespace lumo
