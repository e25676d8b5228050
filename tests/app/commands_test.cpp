#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/camera_orbit.h"
#include "app/commands.h"
#include "app/menu_bar.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/settings.h"
#include "app/startup.h"
#include "core/workers.h"

namespace lumo {
namespace {

class CommandTest : public testing::Test {
protected:
    void SetUp() override {
        resetToStartup();
        recordingPlatform().aboutShown = 0;
        recordingPlatform().quitRequested = false;
        recordingPlatform().fullscreenOn = false;
        recordingPlatform().picturesSaved = 0;
    }
    void TearDown() override { overrideProcessorSse(-1); }
};

// A group of items of which exactly the chosen one shows its check mark.
struct RadioGroup {
    std::vector<int> ids;
    std::function<int()> read;
    std::vector<int> values;
};

std::vector<RadioGroup> radioGroups() {
    RenderSettings& s = settings();
    return {
        {{kCmdOneToOne, kCmdSubsampling}, [&] { return int{s.samplingMode}; }, {1, 2}},
        {{kCmdAntiAliasNone, kCmdAntiAliasGood, kCmdAntiAliasBest}, [&] { return int{s.antiAliasing}; }, {0, 1, 2}},
        {{kCmdInterpNone, kCmdInterpCenter, kCmdInterpCenterLarge, kCmdInterpBilinear, kCmdInterpDifferential,
          kCmdInterpStacked, kCmdInterpPatches},
         [&] { return int{s.interpolationKernel}; },
         {0, 1, 2, 3, 4, 5, 6}},
        {{kCmdCausticSamples2500, kCmdCausticSamples10000, kCmdCausticSamples40000},
         [&] { return s.causticPhotonCount; },
         {2500, 10000, 40000}},
        {{kCmdCausticQuality20, kCmdCausticQuality30, kCmdCausticQuality40}, [&] { return s.causticSplitCount; },
         {20, 30, 40}},
        {{kCmdGiSamples125k, kCmdGiSamples500k, kCmdGiSamples2m}, [&] { return s.giPhotonCount; },
         {125000, 500000, 2000000}},
        {{kCmdGiQuality1000, kCmdGiQuality2500, kCmdGiQuality5000}, [&] { return s.giSplitCount; }, {1000, 2500, 5000}},
        {{kCmdThreads1, kCmdThreads2, kCmdThreads4}, [&] { return int{s.threadCount}; }, {1, 2, 4}},
        {{kCmdAdaptive5, kCmdAdaptive10, kCmdAdaptive15, kCmdAdaptive20, kCmdAdaptive25, kCmdAdaptive30},
         [&] { return int{s.adaptiveTargetFps}; },
         {5, 10, 15, 20, 25, 30}},
    };
}

TEST_F(CommandTest, ValueItemsSetTheirValueAndOnlyTheirMarkShows) {
    for (const RadioGroup& g : radioGroups()) {
        for (size_t i = 0; i < g.ids.size(); ++i) {
            ASSERT_TRUE(executeCommand(g.ids[i])) << g.ids[i];
            EXPECT_EQ(g.read(), g.values[i]) << g.ids[i];
            for (size_t j = 0; j < g.ids.size(); ++j) {
                const CommandState st = commandState(g.ids[j]);
                EXPECT_TRUE(st.checkable);
                EXPECT_TRUE(st.enabled);
                EXPECT_EQ(st.checked, i == j) << "chose " << g.ids[i] << ", item " << g.ids[j];
            }
        }
    }
}

TEST_F(CommandTest, ShaderItemsSelectTheShader) {
    const std::map<int, ShaderMode> shaders = {
        {kCmdShadeDepth, kShaderDepth}, {kCmdShadeNormals, kShaderNormals}, {kCmdShadeReflection, kShaderReflection},
        {kCmdShadeUV, kShaderUV},       {kCmdShadeSimple, kShaderSimple},   {kCmdShadePhong, kShaderPhong}};
    EXPECT_TRUE(commandState(kCmdShadePhong).checked);
    for (const auto& [id, shader] : shaders) {
        executeCommand(id);
        EXPECT_EQ(settings().currentShader, shader);
        for (const auto& [other, unused] : shaders) EXPECT_EQ(commandState(other).checked, other == id);
    }
}

TEST_F(CommandTest, TogglesFlipTheirSettingAndMark) {
    for (int id : {kCmdFilter, kCmdGiOnlyIndirect}) {
        const bool before = commandState(id).checked;
        executeCommand(id);
        EXPECT_EQ(commandState(id).checked, !before) << id;
        executeCommand(id);
        EXPECT_EQ(commandState(id).checked, before) << id;
    }
    EXPECT_EQ(settings().filterOn, 0);
    executeCommand(kCmdFilter);
    EXPECT_EQ(settings().filterOn, 1);
    EXPECT_EQ(settings().giOnlyIndirect, 1);
}

TEST_F(CommandTest, SceneItemsBuildTheSceneWithItsPhotonSwitches) {
    struct Expect {
        int id, scene, kernel, cc, cd, gc, gd;
        const char* title;
    };
    const Expect table[] = {
        {kCmdMirrorsphere, 1, 1, 0, 0, 0, 0, "LUMO-Demo: Bouncing Mirrorsphere"},
        {kCmdBalls, 2, 1, 0, 0, 0, 0, "LUMO-Demo: 3 rotating Spheres"},
        {kCmdCube, 3, 6, 0, 0, 0, 0, "LUMO-Demo: Spinning Glass Cube"},
        {kCmdShadows1, 4, 0, 0, 0, 0, 0, "LUMO-Demo: Moving Light"},
        {kCmdTorus, 5, 1, 0, 0, 0, 0, "LUMO-Demo: rotating Torus"},
        {kCmdSpheres, 6, 1, 0, 0, 0, 0, "LUMO-Demo: 3 rotating Spheres"},
        {kCmdAreaLight, 7, 0, 0, 0, 0, 0, "LUMO-Demo: Area Light's Soft Shadow"},
        {kCmdEgg, 8, 1, 1, 1, 0, 0, "LUMO-Demo: Tumbling Egg"},
        {kCmdCornellBox, 9, 6, 0, 0, 1, 1, "LUMO-Demo: Cornell Box"},
    };
    const int sceneIds[] = {kCmdMirrorsphere, kCmdBalls,  kCmdCube,    kCmdShadows1,  kCmdTorus,
                            kCmdSpheres,      kCmdAreaLight, kCmdEgg, kCmdCornellBox};
    for (const Expect& e : table) {
        executeCommand(kCmdInterpStacked);
        ASSERT_TRUE(executeCommand(e.id));
        const RenderSettings& s = settings();
        EXPECT_EQ(s.sceneId, e.scene);
        EXPECT_EQ(s.interpolationKernel, e.kernel) << e.scene;
        EXPECT_EQ(s.causticsCalculate, e.cc) << e.scene;
        EXPECT_EQ(s.causticsDisplay, e.cd) << e.scene;
        EXPECT_EQ(s.giCalculate, e.gc) << e.scene;
        EXPECT_EQ(s.giDisplay, e.gd) << e.scene;
        for (int other : sceneIds) EXPECT_EQ(commandState(other).checked, other == e.id);
        EXPECT_EQ(recordingPlatform().title, e.title);
    }
}

TEST_F(CommandTest, SceneChangeKeepsEverythingElse) {
    executeCommand(kCmdThreads4);
    executeCommand(kCmdAntiAliasBest);
    executeCommand(kCmdFilter);
    executeCommand(kCmdShadeNormals);
    executeCommand(kCmdCausticSamples40000);
    executeCommand(kCmdGiQuality5000);
    executeCommand(kCmdAnimation);
    executeCommand(kCmdOneToOne);
    executeCommand(kCmdAdaptive20);
    executeCommand(kCmdCube);
    const RenderSettings& s = settings();
    EXPECT_EQ(s.threadCount, 4);
    EXPECT_EQ(s.antiAliasing, 2);
    EXPECT_EQ(s.filterOn, 1);
    EXPECT_EQ(s.currentShader, kShaderNormals);
    EXPECT_EQ(s.causticPhotonCount, 40000);
    EXPECT_EQ(s.giSplitCount, 5000);
    EXPECT_EQ(s.animationOn, 0);
    EXPECT_EQ(s.samplingMode, 1);
    EXPECT_EQ(s.adaptiveTargetFps, 20);
}

TEST_F(CommandTest, LeavingEggSwitchesCausticsOff) {
    executeCommand(kCmdEgg);
    EXPECT_TRUE(commandState(kCmdCausticsCalculate).checked);
    EXPECT_TRUE(commandState(kCmdCausticsDisplay).checked);
    executeCommand(kCmdBalls);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 0);
}

TEST_F(CommandTest, PhotonItemsAreEnabledOnlyInTheirScenes) {
    const int caustic[] = {kCmdCausticsCalculate, kCmdCausticsDisplay};
    const int gi[] = {kCmdGiCalculate, kCmdGiDisplay};
    const int always[] = {kCmdCausticSamples2500, kCmdCausticQuality20, kCmdGiSamples2m, kCmdGiQuality1000,
                          kCmdGiOnlyIndirect};
    for (int scene = 1; scene <= 9; ++scene) {
        selectScene(scene);
        for (int id : caustic) EXPECT_EQ(commandState(id).enabled, scene == 3 || scene == 8) << scene;
        for (int id : gi) EXPECT_EQ(commandState(id).enabled, scene == 9) << scene;
        for (int id : always) EXPECT_TRUE(commandState(id).enabled) << scene;
    }
}

TEST_F(CommandTest, DisabledPhotonItemsCannotBeChosenButKeepTheirMark) {
    executeCommand(kCmdCornellBox);
    EXPECT_FALSE(executeCommand(kCmdCausticsCalculate));
    EXPECT_EQ(settings().causticsCalculate, 0);
    settings().causticsDisplay = 1;  // a mark left over, e.g. from a map shown earlier
    const CommandState display = commandState(kCmdCausticsDisplay);
    EXPECT_FALSE(display.enabled);
    EXPECT_TRUE(display.checked);

    executeCommand(kCmdEgg);
    settings().giDisplay = 1;
    EXPECT_FALSE(commandState(kCmdGiDisplay).enabled);
    EXPECT_TRUE(commandState(kCmdGiDisplay).checked);
    EXPECT_FALSE(executeCommand(kCmdGiDisplay));
    EXPECT_EQ(settings().giDisplay, 1);
}

TEST_F(CommandTest, CalculateAlsoSwitchesDisplayOnButNotOff) {
    executeCommand(kCmdCube);
    executeCommand(kCmdCausticsCalculate);
    EXPECT_EQ(settings().causticsCalculate, 1);
    EXPECT_EQ(settings().causticsDisplay, 1);
    executeCommand(kCmdCausticsCalculate);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 1);
    executeCommand(kCmdCausticsDisplay);
    EXPECT_EQ(settings().causticsDisplay, 0);

    executeCommand(kCmdCornellBox);
    executeCommand(kCmdGiDisplay);
    EXPECT_EQ(settings().giDisplay, 0);
    executeCommand(kCmdGiCalculate);  // off
    EXPECT_EQ(settings().giDisplay, 0);
    executeCommand(kCmdGiCalculate);  // on again
    EXPECT_EQ(settings().giCalculate, 1);
    EXPECT_EQ(settings().giDisplay, 1);
}

TEST_F(CommandTest, AnimationOffStopsCausticCalculation) {
    executeCommand(kCmdEgg);
    executeCommand(kCmdAnimation);
    EXPECT_EQ(settings().animationOn, 0);
    EXPECT_FALSE(commandState(kCmdAnimation).checked);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 1);  // the frozen map stays on show
    executeCommand(kCmdAnimation);
    EXPECT_EQ(settings().animationOn, 1);
    EXPECT_EQ(settings().causticsCalculate, 0);  // not restarted
}

TEST_F(CommandTest, SamplingPresetsSetThresholdsAndSwitchAdaptiveOff) {
    struct Preset {
        int id;
        int16_t t[5];
    };
    const Preset presets[] = {
        {kCmdSamplingRaw, {9999, 300, 300, 300, 300}}, {kCmdSampling16, {-1, 300, 300, 300, 300}},
        {kCmdSampling4, {-1, -1, 300, 300, 300}},      {kCmdSampling1, {-1, -1, -1, 48, 64}},
        {kCmdSamplingStandard, {5, 24, 32, 48, 64}},
    };
    const int adaptive[] = {kCmdAdaptive5,  kCmdAdaptive10, kCmdAdaptive15,
                            kCmdAdaptive20, kCmdAdaptive25, kCmdAdaptive30};
    for (const Preset& p : presets) {
        executeCommand(kCmdAdaptive25);
        settings().refineThresholds[1] = 77;
        executeCommand(p.id);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], p.t[i]) << p.id << " [" << i << "]";
        EXPECT_EQ(settings().adaptiveTargetFps, 0);
        for (int id : adaptive) EXPECT_FALSE(commandState(id).checked);
    }
}

TEST_F(CommandTest, AdaptiveTargetKeepsTheThresholds) {
    executeCommand(kCmdSampling4);
    executeCommand(kCmdAdaptive15);
    const int16_t expected[5] = {-1, -1, 300, 300, 300};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], expected[i]);
}

TEST_F(CommandTest, SamplingAndResolutionItemsShowTheCurrentChoice) {
    const int sampling[] = {kCmdSamplingRaw, kCmdSampling16, kCmdSampling4, kCmdSampling1, kCmdSamplingStandard};
    EXPECT_TRUE(commandState(kCmdSamplingStandard).checked);
    for (int id : sampling) {
        executeCommand(id);
        for (int other : sampling) EXPECT_EQ(commandState(other).checked, other == id) << id;
    }
    settings().refineThresholds[1] = 77;  // where the adaptive control may leave it: no preset
    for (int id : sampling) EXPECT_FALSE(commandState(id).checked) << id;

    const int resolution[] = {kCmdResolution320, kCmdResolution480, kCmdResolution512, kCmdResolution640,
                              kCmdResolution800};
    settings().viewWidth = 512;
    settings().viewHeight = 384;
    for (int id : resolution) EXPECT_EQ(commandState(id).checked, id == kCmdResolution512) << id;
    settings().viewWidth = 513;  // dragged by hand
    for (int id : resolution) EXPECT_FALSE(commandState(id).checked) << id;
}

TEST_F(CommandTest, AdaptiveOffKeepsTheThresholdsAndAntiAliasingNeedsSubsampling) {
    EXPECT_TRUE(commandState(kCmdAdaptiveOff).checked);
    executeCommand(kCmdAdaptive20);
    settings().refineThresholds[1] = 40;
    EXPECT_FALSE(commandState(kCmdAdaptiveOff).checked);
    executeCommand(kCmdAdaptiveOff);
    EXPECT_EQ(settings().adaptiveTargetFps, 0);
    EXPECT_EQ(settings().refineThresholds[1], 40);

    executeCommand(kCmdAntiAliasGood);
    executeCommand(kCmdOneToOne);
    for (int id : {kCmdAntiAliasNone, kCmdAntiAliasGood, kCmdAntiAliasBest}) EXPECT_FALSE(commandState(id).enabled);
    EXPECT_TRUE(commandState(kCmdAntiAliasGood).checked);  // the choice stays for Subsampling
    EXPECT_FALSE(executeCommand(kCmdAntiAliasBest));
    executeCommand(kCmdSubsampling);
    EXPECT_TRUE(executeCommand(kCmdAntiAliasBest));
}

TEST_F(CommandTest, CameraAndWindowCommands) {
    executeCommand(kCmdCornellBox);
    const Orbit start = orbit();
    EXPECT_EQ(start.distance, kStartEyeDistance);
    executeCommand(kCmdZoomIn);
    EXPECT_FLOAT_EQ(orbit().distance, kStartEyeDistance / kZoomStep);
    for (int i = 0; i < 50; ++i) executeCommand(kCmdZoomIn);
    EXPECT_EQ(orbit().distance, closestEyeDistance(9));
    for (int i = 0; i < 50; ++i) executeCommand(kCmdZoomOut);
    EXPECT_EQ(orbit().distance, kMaxEyeDistance);
    orbit().azimuth += 1.0f;
    executeCommand(kCmdResetCamera);
    EXPECT_EQ(orbit().distance, start.distance);
    EXPECT_EQ(orbit().azimuth, start.azimuth);
    EXPECT_EQ(orbit().elevation, start.elevation);

    // Every scene's closest eye stays outside the corners of its scene box, and inside the far limit.
    for (int id = 1; id <= 9; ++id) {
        EXPECT_GT(closestEyeDistance(id), 2.9f) << id;
        EXPECT_LT(closestEyeDistance(id), kStartEyeDistance) << id;
    }

    executeCommand(kCmdFullscreen);
    EXPECT_TRUE(recordingPlatform().fullscreenOn);
    EXPECT_TRUE(commandState(kCmdFullscreen).checked);
    executeCommand(kCmdSavePicture);
    EXPECT_EQ(recordingPlatform().picturesSaved, 1);
    EXPECT_FALSE(commandState(kCmdTraceLogicalSize).enabled);
    recordingPlatform().pixelRatio = 2.0;
    EXPECT_TRUE(executeCommand(kCmdTraceLogicalSize));
    EXPECT_EQ(settings().traceLogicalSize, 1);
    recordingPlatform().pixelRatio = 1.0;
}

TEST_F(CommandTest, ShortcutsAreTheDigitsInMenuOrderAndNeverClash) {
    const int sceneOrder[] = {kCmdMirrorsphere, kCmdSpheres,  kCmdBalls,     kCmdTorus,     kCmdCube,
                              kCmdEgg,          kCmdShadows1, kCmdAreaLight, kCmdCornellBox};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(std::string(findCommand(sceneOrder[i])->shortcut), std::to_string(i + 1));
    std::set<std::string> keys;
    for (const Command& c : commands()) {
        if (!c.shortcut) continue;
        std::string list = c.shortcut;
        for (size_t start = 0; start < list.size();) {
            const size_t end = std::min(list.find("; ", start), list.size());
            EXPECT_TRUE(keys.insert(list.substr(start, end - start)).second) << list;
            start = end + 2;
        }
    }
    EXPECT_TRUE(keys.count("Ctrl+S") && keys.count("Ctrl+Q") && keys.count("F11") && keys.count("Space"));
}

TEST_F(CommandTest, ResolutionAboutAndExitGoThroughThePlatform) {
    const std::pair<int, std::pair<int, int>> sizes[] = {{kCmdResolution320, {320, 240}},
                                                        {kCmdResolution480, {480, 360}},
                                                        {kCmdResolution512, {512, 384}},
                                                        {kCmdResolution640, {640, 480}},
                                                        {kCmdResolution800, {800, 600}}};
    for (const auto& [id, size] : sizes) {
        executeCommand(id);
        EXPECT_EQ(recordingPlatform().viewWidth, size.first);
        EXPECT_EQ(recordingPlatform().viewHeight, size.second);
    }
    executeCommand(kCmdAbout);
    EXPECT_EQ(recordingPlatform().aboutShown, 1);
    EXPECT_FALSE(recordingPlatform().quitRequested);
    executeCommand(kCmdExit);
    EXPECT_TRUE(recordingPlatform().quitRequested);
}

TEST_F(CommandTest, AsmCannotTurnOnWithoutSse) {
    overrideProcessorSse(1);
    resetToStartup();
    EXPECT_TRUE(commandState(kCmdAsm).enabled);
    executeCommand(kCmdAsm);
    EXPECT_EQ(settings().useAsm, 0);
    executeCommand(kCmdAsm);
    EXPECT_EQ(settings().useAsm, 1);

    overrideProcessorSse(0);
    resetToStartup();
    EXPECT_EQ(settings().useAsm, 0);
    EXPECT_FALSE(commandState(kCmdAsm).enabled);
    EXPECT_FALSE(executeCommand(kCmdAsm));
    EXPECT_EQ(settings().useAsm, 0);
    settings().useAsm = 1;  // however it got on, it can be switched off
    EXPECT_TRUE(commandState(kCmdAsm).enabled);
    executeCommand(kCmdAsm);
    EXPECT_EQ(settings().useAsm, 0);
}

TEST_F(CommandTest, UnknownIdsDoNothing) {
    EXPECT_EQ(findCommand(12345), nullptr);
    EXPECT_FALSE(executeCommand(12345));
    const CommandState st = commandState(12345);
    EXPECT_FALSE(st.enabled || st.checked || st.checkable);
}

// Flattens a menu into "text" lines, submenus as "Title/", separators as "-".
void flatten(const std::vector<MenuItem>& items, const std::string& prefix, std::vector<std::string>& out,
             std::vector<int>& ids) {
    for (const MenuItem& m : items) {
        switch (m.kind) {
            case MenuItem::kSeparator: out.push_back(prefix + "-"); break;
            case MenuItem::kSubmenu:
                out.push_back(prefix + m.text + "/");
                flatten(m.items, prefix + m.text + "/", out, ids);
                break;
            case MenuItem::kCommand:
                ASSERT_NE(findCommand(m.commandId), nullptr) << m.commandId;
                out.push_back(prefix + findCommand(m.commandId)->text);
                ids.push_back(m.commandId);
                break;
        }
    }
}

TEST(MenuBar, FiveMenusWithEveryCommandOnceInDisplayOrder) {
    const auto& bar = menuBar();
    ASSERT_EQ(bar.size(), 5u);
    const char* titles[] = {"&Demo", "&Quality", "&Shader", "&Test", "&Info"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(bar[i].kind, MenuItem::kSubmenu);
        EXPECT_STREQ(bar[i].text, titles[i]);
    }
    std::vector<std::string> lines;
    std::vector<int> ids;
    flatten(bar, "", lines, ids);
    EXPECT_EQ(ids.size(), commands().size());
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());

    const std::vector<std::string> demo(lines.begin(), lines.begin() + 23);
    const std::vector<std::string> expectedDemo = {
        "&Demo/",          "&Demo/Mirrorsphere", "&Demo/Spheres",       "&Demo/Balls",          "&Demo/Torus",
        "&Demo/Cube",      "&Demo/Egg",          "&Demo/Shadows 1",     "&Demo/Area Light",     "&Demo/Cornell Box",
        "&Demo/-",         "&Demo/&Open Scene...", "&Demo/-",           "&Demo/Animation",      "&Demo/-",
        "&Demo/Zoom In",   "&Demo/Zoom Out",
        "&Demo/&Reset Camera", "&Demo/&Fullscreen", "&Demo/-",          "&Demo/&Save Picture...", "&Demo/-",
        "&Demo/E&xit"};
    EXPECT_EQ(demo, expectedDemo);

    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("&Quality/Anti-Aliasing/Best  (max. 4x4)"));
    EXPECT_TRUE(has("&Quality/Caustics/Samples/  2500 (Coarse)"));
    EXPECT_TRUE(has("&Quality/Global Illumination/Samples/2,000,000 (Fine)"));
    EXPECT_TRUE(has("&Quality/Adaptive/  5 fps"));
    EXPECT_TRUE(has("&Quality/Sampling/-"));
    EXPECT_TRUE(has("&Test/Asm"));
    EXPECT_TRUE(has("&Info/&About Lumo..."));
    EXPECT_STREQ(findCommand(kCmdAsm)->statusTip, "Use optimized assembly routines");
    EXPECT_EQ(findCommand(kCmdThreads2)->id, 2);

    // The Quality menu's top level, in order.
    std::vector<std::string> quality;
    for (const MenuItem& m : bar[1].items)
        quality.push_back(m.kind == MenuItem::kSeparator ? "-"
                          : m.kind == MenuItem::kSubmenu ? std::string(m.text) + "/"
                                                         : findCommand(m.commandId)->text);
    const std::vector<std::string> expectedQuality = {
        "1:1",       "Subsampling", "-",       "Anti-Aliasing/", "Interpolation/", "Caustics/", "Global Illumination/",
        "Filter",    "-",           "Resolution/", "Threads/",   "-",              "Sampling/", "Adaptive/"};
    EXPECT_EQ(quality, expectedQuality);
}

}  // namespace
}  // namespace lumo

namespace lumo {
namespace {

TEST(ThreadsCommand, AllTakesEveryHardwareThread) {
    resetToStartup();
    executeCommand(kCmdThreads1);
    EXPECT_FALSE(commandState(kCmdThreadsAll).checked || hardwareThreads() == 1);
    executeCommand(kCmdThreadsAll);
    EXPECT_EQ(settings().threadCount, hardwareThreads());
    EXPECT_TRUE(commandState(kCmdThreadsAll).checked);
    EXPECT_EQ(std::string(findCommand(kCmdThreadsAll)->text), "All (" + std::to_string(hardwareThreads()) + ")");
}

}  // namespace
}  // namespace lumo
