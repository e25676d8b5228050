#include <gtest/gtest.h>

#include <algorithm>

#include "app/camera_drag.h"
#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/startup.h"
#include "core/workers.h"
#include "support/program_fixture.h"

namespace lumo {
namespace {

TEST(Startup, StaticValuesBeforeStartUp) {
    RecordingPlatform platform;
    const Program program(platform);
    const RenderSettings& s = program.shared.settings;
    EXPECT_EQ(s.animationOn, 1);
    EXPECT_EQ(s.sceneId, 1);
    EXPECT_EQ(s.samplingMode, 1);
    EXPECT_EQ(s.threadCount, 1);
    EXPECT_EQ(s.adaptiveTargetFps, 0);
    EXPECT_EQ(s.useAsm, 0);
    EXPECT_FLOAT_EQ(program.shared.orbit.azimuth, 1.3f);
    EXPECT_FLOAT_EQ(program.shared.orbit.elevation, 0.3f);
    EXPECT_EQ(program.render.timer.framesInWindow, 0);
    EXPECT_EQ(program.render.timer.currentFps, 0.0f);
    EXPECT_FALSE(program.ui.drag.dragging);
    EXPECT_FALSE(program.render.scene);
}

using StartupTest = test::ProgramTest;

TEST_F(StartupTest, StartValuesGiveTheFirstFrameItsSettings) {
    const RenderSettings& s = settings();
    EXPECT_EQ(s.animationOn, 1);
    EXPECT_EQ(s.sceneId, 1);
    EXPECT_EQ(s.samplingMode, 2);
    EXPECT_EQ(s.threadCount, hardwareThreads());
    const int16_t standard[5] = {5, 24, 32, 48, 64};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s.refineThresholds[i], standard[i]);
    EXPECT_EQ(s.adaptiveTargetFps, 0);
    EXPECT_EQ(s.antiAliasing, 0);
    EXPECT_EQ(s.interpolationKernel, 1);
    EXPECT_EQ(s.filterOn, 0);
    EXPECT_EQ(s.causticPhotonCount, 10000);
    EXPECT_EQ(s.causticSplitCount, 30);
    EXPECT_EQ(s.causticsCalculate, 0);
    EXPECT_EQ(s.causticsDisplay, 0);
    EXPECT_EQ(s.giPhotonCount, 500000);
    EXPECT_EQ(s.giSplitCount, 2500);
    EXPECT_EQ(s.giOnlyIndirect, 1);
    EXPECT_EQ(s.giCalculate, 0);
    EXPECT_EQ(s.giDisplay, 0);
    EXPECT_EQ(s.currentShader, kShaderPhong);
    ASSERT_NE(program.render.scene, nullptr);
    EXPECT_EQ(program.render.scene->id(), 1);
    EXPECT_EQ(platform.title, "LUMO-Demo: Bouncing Mirrorsphere");
}

TEST(Startup, ProcessorCheckDecidesTheOptimisedRoutines) {
    RecordingPlatform platform;
    for (const bool hasSse : {false, true}) {
        Program program(platform);
        program.processorHasSse = hasSse;
        startUp(program);
        EXPECT_EQ(program.shared.settings.useAsm, hasSse ? 1 : 0);
        EXPECT_EQ(commandState(program, kCmdAsm).checked, hasSse);
    }
}

// Nothing of a program's state is program-wide: two programs side by side keep theirs apart.
TEST(Startup, TwoProgramsKeepTheirOwnState) {
    RecordingPlatform platformA, platformB;
    Program a(platformA), b(platformB);
    startUp(a);
    startUp(b);
    executeCommand(a, kCmdCube);
    executeCommand(a, kCmdZoomIn);
    executeCommand(a, kCmdShadeDepth);
    executeCommand(b, kCmdShadeNormals);
    beginDrag(a.ui.drag, a.shared.orbit, 0, 0);
    EXPECT_EQ(a.shared.settings.currentShader, kShaderDepth);
    EXPECT_EQ(b.shared.settings.currentShader, kShaderNormals);
    EXPECT_EQ(b.shared.settings.sceneId, 1);
    EXPECT_EQ(b.shared.orbit.distance, kStartEyeDistance);
    EXPECT_FALSE(b.ui.drag.dragging);
    EXPECT_EQ(platformA.title, "LUMO-Demo: Spinning Glass Cube");
    EXPECT_EQ(platformB.title, "LUMO-Demo: Bouncing Mirrorsphere");
}

TEST(RenderSettings, FramesReadEverySetting) {
    RenderSettings s;
    s.samplingMode = 1;
    const int16_t thresholds[5] = {-1, 7, 300, 41, 64};
    std::copy(thresholds, thresholds + 5, s.refineThresholds);
    s.antiAliasing = 2;
    s.filterOn = 1;
    s.currentShader = kShaderUV;
    s.causticsCalculate = 1;
    s.causticsDisplay = 0;
    s.causticPhotonCount = 2500;
    s.causticSplitCount = 40;
    s.giCalculate = 0;
    s.giDisplay = 1;
    s.giPhotonCount = 125000;
    s.giSplitCount = 5000;
    s.giOnlyIndirect = 0;
    s.interpolationKernel = 4;
    s.threadCount = 2;
    s.useAsm = 1;

    const RenderParams p = renderParams(s);
    EXPECT_EQ(p.sampling, kSamplingOneToOne);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(p.refineThresholds[i], thresholds[i]) << i;
    EXPECT_EQ(p.antiAliasing, 2);
    EXPECT_TRUE(p.filter);
    EXPECT_EQ(p.shader, kShaderUV);
    EXPECT_TRUE(p.photons.causticsCalculate);
    EXPECT_FALSE(p.photons.causticsDisplay);
    EXPECT_EQ(p.photons.causticPhotonCount, 2500);
    EXPECT_EQ(p.photons.causticSplitCount, 40);
    EXPECT_FALSE(p.photons.giCalculate);
    EXPECT_TRUE(p.photons.giDisplay);
    EXPECT_EQ(p.photons.giPhotonCount, 125000);
    EXPECT_EQ(p.photons.giSplitCount, 5000);
    EXPECT_FALSE(p.photons.giOnlyIndirect);
    EXPECT_EQ(p.photons.interpolationKernel, 4);
    EXPECT_EQ(p.threadCount, 2);
    EXPECT_EQ(p.isa, kIsaAuto);

    s.samplingMode = 2;
    s.useAsm = 0;
    EXPECT_EQ(renderParams(s).sampling, kSamplingSubsampled);
    EXPECT_EQ(renderParams(s).isa, kIsaScalar);
}

TEST(CameraDrag, FullWidthTurnsOnceAroundFullHeightTiltsAQuarter) {
    Orbit orbit;
    DragState drag;
    orbit.azimuth = 1.0f;
    orbit.elevation = 0.5f;
    beginDrag(drag, orbit, 400, 100);
    dragTo(drag, orbit, 0, 100, 400, 300);  // leftwards across the whole width
    EXPECT_NEAR(orbit.azimuth, 1.0f + 6.283185f, 1e-5f);
    dragTo(drag, orbit, 500, 100, 400, 300);  // a quarter width to the right of the anchor
    EXPECT_NEAR(orbit.azimuth, 1.0f - 6.283185f / 4.0f, 1e-5f);
    dragTo(drag, orbit, 400, 400, 400, 300);  // downward the full height raises the camera without limit
    EXPECT_NEAR(orbit.azimuth, 1.0f, 1e-6f);
    EXPECT_NEAR(orbit.elevation, 0.5f + 1.570796f, 1e-5f);
    endDrag(drag);
    dragTo(drag, orbit, 0, 0, 400, 300);  // after button-up moves change nothing
    EXPECT_NEAR(orbit.elevation, 0.5f + 1.570796f, 1e-5f);
}

TEST(CameraDrag, UpwardDragStopsAtTheHorizon) {
    Orbit orbit;
    DragState drag;
    orbit.elevation = 0.3f;
    beginDrag(drag, orbit, 10, 200);
    dragTo(drag, orbit, 10, 170, 320, 240);  // 30 px up: 0.3 - 30/240 * pi/2
    EXPECT_NEAR(orbit.elevation, 0.3f - 0.125f * 1.570796f, 1e-6f);
    dragTo(drag, orbit, 10, 0, 320, 240);
    EXPECT_EQ(orbit.elevation, 0.0f);
    dragTo(drag, orbit, 10, 200, 320, 240);  // the anchor angles still hold
    EXPECT_FLOAT_EQ(orbit.elevation, 0.3f);
    endDrag(drag);
}

TEST(CameraDrag, ViewWithoutAreaIgnoresTheDrag) {
    Orbit orbit;
    DragState drag;
    beginDrag(drag, orbit, 0, 0);
    dragTo(drag, orbit, 5, 5, 0, 0);
    dragTo(drag, orbit, 5, 5, 10, 0);
    EXPECT_FLOAT_EQ(orbit.azimuth, 1.3f);
    EXPECT_FLOAT_EQ(orbit.elevation, 0.3f);
    endDrag(drag);
}

}  // namespace
}  // namespace lumo
