// Open Scene: a scene file replaces the scene at the next frame's start; a bad one leaves it alone.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/file_scene.h"
#include "app/frame_steps.h"
#include "support/program_fixture.h"

namespace lumo {
namespace {

const std::string kScenes = LUMO_TEST_DATA "/scenes/";

class FileSceneTest : public test::ProgramTest {
protected:
    FileSceneTest() { takeFrameState(program); }
    const Scene* scene() const { return program.render.scene.get(); }
};

TEST_F(FileSceneTest, OpenSceneTakesTheFileOverAtTheNextFrame) {
    platform.sceneFileAnswer = kScenes + "good.json";
    ASSERT_TRUE(execute(kCmdOpenScene));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(settings().sceneId, 0);
    EXPECT_EQ(platform.title, "LUMO: Every shape (good.json)");
    // The frame in flight keeps its scene; the next one starts with the file's.
    EXPECT_EQ(scene()->id(), 1);
    takeFrameState(program);
    ASSERT_FALSE(program.shared.pendingScene);
    EXPECT_EQ(scene()->title, "Every shape");
    const Camera& c = program.render.view.camera;
    EXPECT_FLOAT_EQ(c.orbitCentre.z, 0.25f);
    EXPECT_NEAR(c.orbitRadius, std::sqrt(16.0 + 36.0 + 2.75 * 2.75), 1e-5);
    // The file's photon switches, counts and kernel, and the menus that follow them.
    EXPECT_EQ(settings().interpolationKernel, 3);
    EXPECT_EQ(settings().causticPhotonCount, 2500);
    EXPECT_TRUE(stateOf(kCmdCausticsCalculate).enabled);
    EXPECT_TRUE(stateOf(kCmdCausticsCalculate).checked);
    EXPECT_TRUE(stateOf(kCmdGiCalculate).enabled);
    EXPECT_FALSE(stateOf(kCmdGiCalculate).checked);
    EXPECT_FALSE(stateOf(kCmdMirrorsphere).checked);

    // Zoom stops outside the scene box, seen from the orbit centre; Reset Camera goes back to the start.
    for (int i = 0; i < 60; ++i) execute(kCmdZoomIn);
    const float closest = orbit().distance;
    EXPECT_GT(closest, 2.0f);
    EXPECT_FLOAT_EQ(closest, closestEyeDistance(program.shared, 0));
    execute(kCmdResetCamera);
    EXPECT_NEAR(orbit().distance, std::sqrt(16.0 + 36.0 + 2.75 * 2.75), 1e-5);
}

TEST_F(FileSceneTest, MeshesOpenFramedAndOpenedFilesAreRememberedLatestFirst) {
    openSceneFile(program, kScenes + "good.json");
    openSceneFile(program, kScenes + "quad.obj");  // warns of its zero-area triangle
    EXPECT_EQ(platform.title, "LUMO: quad.obj");
    openSceneFile(program, kScenes + "quad.mtl");  // neither scene nor mesh: a message, not kept
    ASSERT_FALSE(platform.messages.empty());
    EXPECT_NE(platform.messages.back().find("quad.mtl: not a file Lumo can open"), std::string::npos) << platform.messages.back();
    std::vector<std::string>& recent = program.ui.recentScenes;
    const std::string folder = std::filesystem::absolute(kScenes).lexically_normal().string();
    EXPECT_EQ(recent, (std::vector<std::string>{folder + "quad.obj", folder + "good.json"}));
    openSceneFile(program, kScenes + "../scenes/good.json");  // the same file: moves up
    EXPECT_EQ(recent, (std::vector<std::string>{folder + "good.json", folder + "quad.obj"}));
    for (int i = 0; i < 10; ++i) rememberRecentScene(recent, "/f" + std::to_string(i));
    EXPECT_EQ(recent.size(), kRecentScenes);
    EXPECT_EQ(recent.front(), "/f9");
    EXPECT_EQ(recent.back(), "/f2");
}

TEST_F(FileSceneTest, ABrokenFileShowsOneMessageAndKeepsTheScene) {
    platform.sceneFileAnswer = kScenes + "good.json";
    execute(kCmdOpenScene);
    takeFrameState(program);
    const Scene* shown = scene();
    platform.sceneFileAnswer = kScenes + "bad/unknown_key.json";
    execute(kCmdOpenScene);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "Open Scene: " + kScenes + "bad/unknown_key.json: objects[0].radious: unknown key");
    EXPECT_EQ(settings().sceneId, 0);
    EXPECT_FALSE(program.shared.pendingScene);
    takeFrameState(program);
    EXPECT_EQ(scene(), shown);
    EXPECT_EQ(platform.title, "LUMO: Every shape (good.json)");

    // Cancelling the dialog changes nothing; a demo scene chosen afterwards replaces the file's.
    platform.sceneFileAnswer.clear();
    execute(kCmdOpenScene);
    EXPECT_EQ(scene(), shown);
    execute(kCmdCube);
    takeFrameState(program);
    EXPECT_EQ(scene()->id(), 3);
}

// The file is read as background work, telling its progress; only the latest open is taken, and a
// failure is still one message.
TEST_F(FileSceneTest, OpeningLoadsInTheBackgroundAndTheLatestOpenWins) {
    platform.holdBackground = true;
    platform.sceneFileAnswer = kScenes + "good.json";
    execute(kCmdOpenScene);
    ASSERT_EQ(platform.background.size(), 1u);
    EXPECT_EQ(platform.background[0].status(), "Loading good.json ... 0%");
    EXPECT_EQ(settings().sceneId, 1);  // nothing taken yet
    platform.background[0].work();
    EXPECT_EQ(platform.background[0].status(), "Loading good.json ... 100%");
    platform.sceneFileAnswer = kScenes + "bad/unknown_key.json";
    execute(kCmdOpenScene);
    ASSERT_EQ(platform.background.size(), 2u);
    platform.background[1].work();
    platform.background[1].done();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "Open Scene: " + kScenes + "bad/unknown_key.json: objects[0].radious: unknown key");
    platform.background[0].done();  // superseded: dropped
    EXPECT_EQ(settings().sceneId, 1);
    EXPECT_FALSE(program.shared.pendingScene);
    EXPECT_EQ(loadingText("big.obj", 0.456), "Loading big.obj ... 45%");
}

TEST_F(FileSceneTest, ADemoSceneChosenBeforeTheNextFrameWins) {
    platform.sceneFileAnswer = kScenes + "good.json";
    execute(kCmdOpenScene);
    execute(kCmdEgg);
    takeFrameState(program);
    EXPECT_EQ(scene()->id(), 8);
}

}  // namespace
}  // namespace lumo
