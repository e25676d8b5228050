// Open Scene: a scene file replaces the scene at the next frame's start; a bad one leaves it alone.
#include <gtest/gtest.h>

#include <cmath>

#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/file_scene.h"
#include "app/frame_steps.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/settings.h"
#include "app/startup.h"

namespace lumo {
namespace {

const std::string kScenes = LUMO_TEST_DATA "/scenes/";

class FileSceneTest : public testing::Test {
protected:
    void SetUp() override {
        resetToStartup();
        recordingPlatform().messages.clear();
        takeFrameState();
    }
    void TearDown() override { recordingPlatform().sceneFileAnswer.clear(); }
};

TEST_F(FileSceneTest, OpenSceneTakesTheFileOverAtTheNextFrame) {
    recordingPlatform().sceneFileAnswer = kScenes + "good.json";
    ASSERT_TRUE(executeCommand(kCmdOpenScene));
    EXPECT_TRUE(recordingPlatform().messages.empty());
    EXPECT_EQ(settings().sceneId, 0);
    EXPECT_EQ(recordingPlatform().title, "LUMO: Every shape (good.json)");
    // The frame in flight keeps its scene; the next one starts with the file's.
    EXPECT_EQ(program().scene->id(), 1);
    takeFrameState();
    ASSERT_FALSE(program().pendingScene);
    EXPECT_EQ(program().scene->title, "Every shape");
    const Camera& c = camera();
    EXPECT_FLOAT_EQ(c.orbitCentre.z, 0.25f);
    EXPECT_NEAR(c.orbitRadius, std::sqrt(16.0 + 36.0 + 2.75 * 2.75), 1e-5);
    // The file's photon switches, counts and kernel, and the menus that follow them.
    EXPECT_EQ(settings().interpolationKernel, 3);
    EXPECT_EQ(settings().causticPhotonCount, 2500);
    EXPECT_TRUE(commandState(kCmdCausticsCalculate).enabled);
    EXPECT_TRUE(commandState(kCmdCausticsCalculate).checked);
    EXPECT_TRUE(commandState(kCmdGiCalculate).enabled);
    EXPECT_FALSE(commandState(kCmdGiCalculate).checked);
    EXPECT_FALSE(commandState(kCmdMirrorsphere).checked);

    // Zoom stops outside the scene box, seen from the orbit centre; Reset Camera goes back to the start.
    for (int i = 0; i < 60; ++i) executeCommand(kCmdZoomIn);
    const float closest = orbit().distance;
    EXPECT_GT(closest, 2.0f);
    EXPECT_FLOAT_EQ(closest, closestEyeDistance(0));
    executeCommand(kCmdResetCamera);
    EXPECT_NEAR(orbit().distance, std::sqrt(16.0 + 36.0 + 2.75 * 2.75), 1e-5);
}

TEST_F(FileSceneTest, ABrokenFileShowsOneMessageAndKeepsTheScene) {
    recordingPlatform().sceneFileAnswer = kScenes + "good.json";
    executeCommand(kCmdOpenScene);
    takeFrameState();
    const Scene* shown = program().scene.get();
    recordingPlatform().sceneFileAnswer = kScenes + "bad/unknown_key.json";
    executeCommand(kCmdOpenScene);
    ASSERT_EQ(recordingPlatform().messages.size(), 1u);
    EXPECT_EQ(recordingPlatform().messages[0], "Open Scene: unknown_key.json: objects[0].radious: unknown key");
    EXPECT_EQ(settings().sceneId, 0);
    EXPECT_FALSE(program().pendingScene);
    takeFrameState();
    EXPECT_EQ(program().scene.get(), shown);
    EXPECT_EQ(recordingPlatform().title, "LUMO: Every shape (good.json)");

    // Cancelling the dialog changes nothing; a demo scene chosen afterwards replaces the file's.
    recordingPlatform().sceneFileAnswer.clear();
    executeCommand(kCmdOpenScene);
    EXPECT_EQ(program().scene.get(), shown);
    executeCommand(kCmdCube);
    takeFrameState();
    EXPECT_EQ(program().scene->id(), 3);
}

TEST_F(FileSceneTest, ADemoSceneChosenBeforeTheNextFrameWins) {
    recordingPlatform().sceneFileAnswer = kScenes + "good.json";
    executeCommand(kCmdOpenScene);
    executeCommand(kCmdEgg);
    takeFrameState();
    EXPECT_EQ(program().scene->id(), 8);
}

}  // namespace
}  // namespace lumo
