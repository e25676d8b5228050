#include "app/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/platform.h"
#include "app/program.h"
#include "app/startup.h"

namespace lumo {
namespace {

TEST(CommandLine, SharesLumoRendersOptionsAndNotesWhatWasGiven) {
    LaunchOptions o = readLaunchOptions({"--scene", "egg", "--size=800x600", "--fullscreen"});
    ASSERT_EQ(o.status, LaunchOptions::kRun) << o.error;
    EXPECT_TRUE(o.scene && o.size && o.fullscreen);
    EXPECT_FALSE(o.threads || o.shader);
    EXPECT_EQ(o.common.sceneId, 8);
    EXPECT_EQ(o.common.width, 800);

    RecordingPlatform platform;
    Program program(platform);
    startUp(program);
    applyLaunchOptions(program, readLaunchOptions({"--scene", "9", "--threads", "1", "--shader", "normals"}));
    const RenderSettings& s = program.shared.settings;
    EXPECT_EQ(s.sceneId, 9);
    EXPECT_EQ(s.giCalculate, 1);  // as the menu item chooses the scene
    EXPECT_EQ(s.threadCount, 1);
    EXPECT_EQ(s.currentShader, kShaderNormals);

    // A bare file name is --scene-file, also after "--"; an option's value is no file name.
    o = readLaunchOptions({"--threads", "2", "knot.obj", "--shader", "depth"});
    EXPECT_EQ(o.common.sceneFile, "knot.obj");
    EXPECT_EQ(o.common.threadCount, 2);
    EXPECT_EQ(readLaunchOptions({"--", "-odd.glb"}).common.sceneFile, "-odd.glb");

    EXPECT_EQ(readLaunchOptions({"--help", "--size", "8x8"}).status, LaunchOptions::kHelp);
    EXPECT_EQ(readLaunchOptions({"--version"}).status, LaunchOptions::kVersion);
    EXPECT_THAT(launchVersion(), testing::MatchesRegex("lumo [0-9]+\\.[0-9]+(\\.[0-9]+)*\n"));
    EXPECT_NE(launchHelp().find("--fullscreen"), std::string::npos);
    EXPECT_NE(launchHelp().find("--scene"), std::string::npos);
}

TEST(CommandLine, BadInputIsOneLineNamingTheOption) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--scene", "eggs"}, {"--size", "0x5"}, {"--threads", "65"}, {"--shader"}, {"--frames", "3"}, {"a.obj", "b.obj"},
             {"--help", "--bogus"}, {"--scene", "2", "--scene-file", "s.json"}, {"--scene-file", "s.json", "--scene", "2"}, {"--scene", "2", "s.json"}}) {
        const LaunchOptions o = readLaunchOptions(args);
        EXPECT_EQ(o.status, LaunchOptions::kError) << args[0];
        EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
        EXPECT_FALSE(o.error.empty());
    }
    EXPECT_NE(readLaunchOptions({"--scene", "eggs"}).error.find("--scene"), std::string::npos);
}

}  // namespace
}  // namespace lumo
