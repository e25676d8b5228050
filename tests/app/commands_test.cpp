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
#include "core/workers.h"
#include "options/common_options.h"
#include "scene/demo_scenes.h"
#include "support/program_fixture.h"

namespace lumo {
namespace {

using CommandTest = test::ProgramTest;

// A group of items of which exactly the chosen one shows its check mark.
struct RadioGroup {
    std::vector<int> ids;
    std::function<int()> read;
    std::vector<int> values;
};

std::vector<RadioGroup> radioGroups(const RenderSettings& s) {
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
        {{kCmdAdaptive5, kCmdAdaptive10, kCmdAdaptive15, kCmdAdaptive20, kCmdAdaptive25, kCmdAdaptive30},
         [&] { return int{s.adaptiveTargetFps}; },
         {5, 10, 15, 20, 25, 30}},
    };
}

TEST_F(CommandTest, ValueItemsSetTheirValueAndOnlyTheirMarkShows) {
    execute(kCmdEgg);  // a photon map on show: the kernels apply
    for (const RadioGroup& g : radioGroups(settings())) {
        for (size_t i = 0; i < g.ids.size(); ++i) {
            ASSERT_TRUE(execute(g.ids[i])) << g.ids[i];
            EXPECT_EQ(g.read(), g.values[i]) << g.ids[i];
            for (size_t j = 0; j < g.ids.size(); ++j) {
                const CommandState st = stateOf(g.ids[j]);
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
    EXPECT_TRUE(stateOf(kCmdShadePhong).checked);
    for (const auto& [id, shader] : shaders) {
        execute(id);
        EXPECT_EQ(settings().currentShader, shader);
        for (const auto& [other, unused] : shaders) EXPECT_EQ(stateOf(other).checked, other == id);
    }
}

TEST_F(CommandTest, TogglesFlipTheirSettingAndMark) {
    for (int id : {kCmdFilter, kCmdGiOnlyIndirect}) {
        const bool before = stateOf(id).checked;
        execute(id);
        EXPECT_EQ(stateOf(id).checked, !before) << id;
        execute(id);
        EXPECT_EQ(stateOf(id).checked, before) << id;
    }
    EXPECT_EQ(settings().filterOn, 0);
    execute(kCmdFilter);
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
        execute(kCmdInterpStacked);
        ASSERT_TRUE(execute(e.id));
        const RenderSettings& s = settings();
        EXPECT_EQ(s.sceneId, e.scene);
        EXPECT_EQ(s.interpolationKernel, e.kernel) << e.scene;
        EXPECT_EQ(s.causticsCalculate, e.cc) << e.scene;
        EXPECT_EQ(s.causticsDisplay, e.cd) << e.scene;
        EXPECT_EQ(s.giCalculate, e.gc) << e.scene;
        EXPECT_EQ(s.giDisplay, e.gd) << e.scene;
        for (int other : sceneIds) EXPECT_EQ(stateOf(other).checked, other == e.id);
        EXPECT_EQ(platform.title, e.title);
    }
}

TEST_F(CommandTest, SceneChangeKeepsEverythingElse) {
    execute(kCmdThreads4);
    execute(kCmdAntiAliasBest);
    execute(kCmdFilter);
    execute(kCmdShadeNormals);
    execute(kCmdCausticSamples40000);
    execute(kCmdGiQuality5000);
    execute(kCmdAnimation);
    execute(kCmdOneToOne);
    execute(kCmdAdaptive20);
    execute(kCmdCube);
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
    execute(kCmdEgg);
    EXPECT_TRUE(stateOf(kCmdCausticsCalculate).checked);
    EXPECT_TRUE(stateOf(kCmdCausticsDisplay).checked);
    execute(kCmdBalls);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 0);
}

TEST_F(CommandTest, PhotonItemsAreEnabledOnlyInTheirScenes) {
    const int caustic[] = {kCmdCausticsCalculate, kCmdCausticsDisplay};
    const int gi[] = {kCmdGiCalculate, kCmdGiDisplay};
    const int always[] = {kCmdCausticSamples2500, kCmdCausticQuality20, kCmdGiSamples2m, kCmdGiQuality1000,
                          kCmdGiOnlyIndirect};
    for (int scene = 1; scene <= 9; ++scene) {
        selectScene(program, scene);
        for (int id : caustic) EXPECT_EQ(stateOf(id).enabled, scene == 3 || scene == 8) << scene;
        for (int id : gi) EXPECT_EQ(stateOf(id).enabled, scene == 9) << scene;
        for (int id : always) EXPECT_TRUE(stateOf(id).enabled) << scene;
        // The kernels read a photon map on show: Egg's caustics and the Cornell Box's GI on selection.
        EXPECT_EQ(stateOf(kCmdInterpBilinear).enabled, scene == 8 || scene == 9) << scene;
    }
    execute(kCmdCube);
    execute(kCmdCausticsDisplay);
    EXPECT_TRUE(stateOf(kCmdInterpNone).enabled);
    execute(kCmdCausticsDisplay);
    EXPECT_FALSE(stateOf(kCmdInterpNone).enabled);
}

TEST_F(CommandTest, DisabledPhotonItemsCannotBeChosenButKeepTheirMark) {
    execute(kCmdCornellBox);
    EXPECT_FALSE(execute(kCmdCausticsCalculate));
    EXPECT_EQ(settings().causticsCalculate, 0);
    settings().causticsDisplay = 1;  // a mark left over, e.g. from a map shown earlier
    const CommandState display = stateOf(kCmdCausticsDisplay);
    EXPECT_FALSE(display.enabled);
    EXPECT_TRUE(display.checked);

    execute(kCmdEgg);
    settings().giDisplay = 1;
    EXPECT_FALSE(stateOf(kCmdGiDisplay).enabled);
    EXPECT_TRUE(stateOf(kCmdGiDisplay).checked);
    EXPECT_FALSE(execute(kCmdGiDisplay));
    EXPECT_EQ(settings().giDisplay, 1);
}

TEST_F(CommandTest, CalculateAlsoSwitchesDisplayOnButNotOff) {
    execute(kCmdCube);
    execute(kCmdCausticsCalculate);
    EXPECT_EQ(settings().causticsCalculate, 1);
    EXPECT_EQ(settings().causticsDisplay, 1);
    execute(kCmdCausticsCalculate);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 1);
    execute(kCmdCausticsDisplay);
    EXPECT_EQ(settings().causticsDisplay, 0);

    execute(kCmdCornellBox);
    execute(kCmdGiDisplay);
    EXPECT_EQ(settings().giDisplay, 0);
    execute(kCmdGiCalculate);  // off
    EXPECT_EQ(settings().giDisplay, 0);
    execute(kCmdGiCalculate);  // on again
    EXPECT_EQ(settings().giCalculate, 1);
    EXPECT_EQ(settings().giDisplay, 1);
}

TEST_F(CommandTest, AnimationOffStopsCausticCalculation) {
    execute(kCmdEgg);
    execute(kCmdAnimation);
    EXPECT_EQ(settings().animationOn, 0);
    EXPECT_FALSE(stateOf(kCmdAnimation).checked);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 1);  // the frozen map stays on show
    execute(kCmdAnimation);
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
        execute(kCmdAdaptive25);
        settings().refineThresholds[1] = 77;
        execute(p.id);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], p.t[i]) << p.id << " [" << i << "]";
        EXPECT_EQ(settings().adaptiveTargetFps, 0);
        for (int id : adaptive) EXPECT_FALSE(stateOf(id).checked);
    }
}

TEST_F(CommandTest, AdaptiveTargetKeepsTheThresholds) {
    execute(kCmdSampling4);
    execute(kCmdAdaptive15);
    const int16_t expected[5] = {-1, -1, 300, 300, 300};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(settings().refineThresholds[i], expected[i]);
}

TEST_F(CommandTest, SamplingAndResolutionItemsShowTheCurrentChoice) {
    const int sampling[] = {kCmdSamplingRaw, kCmdSampling16, kCmdSampling4, kCmdSampling1, kCmdSamplingStandard};
    EXPECT_TRUE(stateOf(kCmdSamplingStandard).checked);
    for (int id : sampling) {
        execute(id);
        for (int other : sampling) EXPECT_EQ(stateOf(other).checked, other == id) << id;
    }
    settings().refineThresholds[1] = 77;  // where the adaptive control may leave it: no preset
    for (int id : sampling) EXPECT_FALSE(stateOf(id).checked) << id;

    const int resolution[] = {kCmdResolution320, kCmdResolution480, kCmdResolution512, kCmdResolution640,
                              kCmdResolution800};
    settings().viewWidth = 512;
    settings().viewHeight = 384;
    for (int id : resolution) EXPECT_EQ(stateOf(id).checked, id == kCmdResolution512) << id;
    settings().viewWidth = 513;  // dragged by hand
    for (int id : resolution) EXPECT_FALSE(stateOf(id).checked) << id;
}

TEST_F(CommandTest, AdaptiveOffKeepsTheThresholdsAndAntiAliasingNeedsSubsampling) {
    EXPECT_TRUE(stateOf(kCmdAdaptiveOff).checked);
    execute(kCmdAdaptive20);
    settings().refineThresholds[1] = 40;
    EXPECT_FALSE(stateOf(kCmdAdaptiveOff).checked);
    execute(kCmdAdaptiveOff);
    EXPECT_EQ(settings().adaptiveTargetFps, 0);
    EXPECT_EQ(settings().refineThresholds[1], 40);

    execute(kCmdAntiAliasGood);
    execute(kCmdOneToOne);
    for (int id : {kCmdAntiAliasNone, kCmdAntiAliasGood, kCmdAntiAliasBest}) EXPECT_FALSE(stateOf(id).enabled);
    EXPECT_TRUE(stateOf(kCmdAntiAliasGood).checked);  // the choice stays for Subsampling
    EXPECT_FALSE(execute(kCmdAntiAliasBest));
    execute(kCmdSubsampling);
    EXPECT_TRUE(execute(kCmdAntiAliasBest));
}

TEST_F(CommandTest, CameraAndWindowCommands) {
    execute(kCmdCornellBox);
    const Orbit start = orbit();
    EXPECT_EQ(start.distance, kStartEyeDistance);
    execute(kCmdZoomIn);
    EXPECT_FLOAT_EQ(orbit().distance, kStartEyeDistance / kZoomStep);
    for (int i = 0; i < 50; ++i) execute(kCmdZoomIn);
    EXPECT_EQ(orbit().distance, closestEyeDistance(program.shared, 9));
    for (int i = 0; i < 50; ++i) execute(kCmdZoomOut);
    EXPECT_EQ(orbit().distance, kMaxEyeDistance);
    orbit().azimuth += 1.0f;
    execute(kCmdResetCamera);
    EXPECT_EQ(orbit().distance, start.distance);
    EXPECT_EQ(orbit().azimuth, start.azimuth);
    EXPECT_EQ(orbit().elevation, start.elevation);

    // Every scene's closest eye stays outside the corners of its scene box, and inside the far limit.
    for (int id = 1; id <= 9; ++id) {
        EXPECT_GT(closestEyeDistance(program.shared, id), 2.9f) << id;
        EXPECT_LT(closestEyeDistance(program.shared, id), kStartEyeDistance) << id;
    }

    execute(kCmdFullscreen);
    EXPECT_TRUE(platform.fullscreenOn);
    EXPECT_TRUE(stateOf(kCmdFullscreen).checked);
    execute(kCmdSavePicture);
    EXPECT_EQ(platform.picturesSaved, 1);
    EXPECT_FALSE(stateOf(kCmdTraceLogicalSize).enabled);
    platform.pixelRatio = 2.0;
    EXPECT_TRUE(execute(kCmdTraceLogicalSize));
    EXPECT_EQ(settings().traceLogicalSize, 1);
    platform.pixelRatio = 1.0;
}

TEST_F(CommandTest, ShortcutsAreTheDigitsInMenuOrderAndNeverClash) {
    // One numbering: the n-th Demo item has key n and is the scene of --scene n.
    const std::vector<MenuItem>& demo = menuBar()[0].items;
    for (int i = 0; i < 9; ++i) {
        const int number = i + 1;
        EXPECT_EQ(std::string(findCommand(demo[i].commandId)->shortcut), std::to_string(number));
        execute(demo[i].commandId);
        EXPECT_EQ(settings().sceneId, sceneIdFromName(std::to_string(number))) << number;
        EXPECT_EQ(demoSceneNumber(settings().sceneId), number);
    }
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
        execute(id);
        EXPECT_EQ(platform.viewWidth, size.first);
        EXPECT_EQ(platform.viewHeight, size.second);
    }
    execute(kCmdAbout);
    EXPECT_EQ(platform.aboutShown, 1);
    EXPECT_FALSE(platform.quitRequested);
    execute(kCmdExit);
    EXPECT_TRUE(platform.quitRequested);
}

TEST(AsmCommand, CannotTurnOnWithoutSse) {
    RecordingPlatform platform;
    Program withSse(platform);
    withSse.processorHasSse = true;
    startUp(withSse);
    EXPECT_TRUE(commandState(withSse, kCmdAsm).enabled);
    executeCommand(withSse, kCmdAsm);
    EXPECT_EQ(withSse.shared.settings.useAsm, 0);
    executeCommand(withSse, kCmdAsm);
    EXPECT_EQ(withSse.shared.settings.useAsm, 1);

    Program withoutSse(platform);
    withoutSse.processorHasSse = false;
    startUp(withoutSse);
    RenderSettings& s = withoutSse.shared.settings;
    EXPECT_EQ(s.useAsm, 0);
    EXPECT_FALSE(commandState(withoutSse, kCmdAsm).enabled);
    EXPECT_FALSE(executeCommand(withoutSse, kCmdAsm));
    EXPECT_EQ(s.useAsm, 0);
    s.useAsm = 1;  // however it got on, it can be switched off
    EXPECT_TRUE(commandState(withoutSse, kCmdAsm).enabled);
    executeCommand(withoutSse, kCmdAsm);
    EXPECT_EQ(s.useAsm, 0);
}

TEST_F(CommandTest, UnknownIdsDoNothing) {
    EXPECT_EQ(findCommand(12345), nullptr);
    EXPECT_FALSE(execute(12345));
    const CommandState st = stateOf(12345);
    EXPECT_FALSE(st.enabled || st.checked || st.checkable);
}

// Flattens a menu into "text" lines, submenus as "Title/", separators as "-".
void flatten(const std::vector<MenuItem>& items, const std::string& prefix, std::vector<std::string>& out,
             std::vector<int>& ids) {
    for (const MenuItem& m : items) {
        switch (m.kind) {
            case MenuItem::kSeparator: out.push_back(prefix + "-"); break;
            case MenuItem::kRecentFiles: out.push_back(prefix + m.text + "/*"); break;
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

// The radio items of every menu, one list per menu that has them.
void radioGroupsOf(const std::vector<MenuItem>& items, std::vector<std::vector<int>>& groups) {
    std::vector<int> group;
    for (const MenuItem& m : items) {
        if (m.kind == MenuItem::kSubmenu) radioGroupsOf(m.items, groups);
        if (m.kind == MenuItem::kCommand && m.group) group.push_back(m.commandId);
    }
    if (!group.empty()) groups.push_back(group);
}

TEST_F(CommandTest, RadioItemsOfAMenuNeverShowTwoMarks) {
    std::vector<std::vector<int>> groups;
    radioGroupsOf(menuBar(), groups);
    // Scenes, 1:1/Subsampling, anti-aliasing, kernels, two Samples, two Quality, resolution, threads,
    // sampling, adaptive, shader, refinement passes.
    ASSERT_EQ(groups.size(), 14u);
    for (const std::vector<int>& chosen : groups) {
        for (const int id : chosen) {
            execute(kCmdEgg);  // kernels enabled
            execute(id);
            for (const std::vector<int>& g : groups)
                EXPECT_LE(std::count_if(g.begin(), g.end(), [&](int other) { return stateOf(other).checked; }), 1)
                    << "after " << id << ", group of " << g[0];
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

    const std::vector<std::string> demo(lines.begin(), lines.begin() + 25);
    const std::vector<std::string> expectedDemo = {
        "&Demo/",          "&Demo/Mirrorsphere", "&Demo/Spheres",       "&Demo/Balls",          "&Demo/Torus",
        "&Demo/Cube",      "&Demo/Egg",          "&Demo/Shadows 1",     "&Demo/Area Light",     "&Demo/Cornell Box",
        "&Demo/-",         "&Demo/&Open Scene...", "&Demo/Recent S&cenes/*", "&Demo/-",           "&Demo/Animation",      "&Demo/-",
        "&Demo/Zoom In",   "&Demo/Zoom Out",
        "&Demo/&Reset Camera", "&Demo/Fl&y", "&Demo/&Fullscreen", "&Demo/-",          "&Demo/&Save Picture...", "&Demo/-",
        "&Demo/E&xit"};
    EXPECT_EQ(demo, expectedDemo);

    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("&Quality/Anti-Aliasing/Best  (max. 4x4)"));
    EXPECT_TRUE(has("&Quality/Caustics/Samples/  2500 (Coarse)"));
    EXPECT_TRUE(has("&Quality/Global Illumination/Samples/2,000,000 (Fine)"));
    EXPECT_TRUE(has("&Quality/Adaptive/  5 fps"));
    EXPECT_TRUE(has("&Quality/Refine/64 Passes"));
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
        "1:1",       "Subsampling", "-",       "Anti-Aliasing/", "Refine/", "Interpolation/", "Caustics/",
        "Global Illumination/", "Filter", "-", "Resolution/", "Threads/", "-", "Sampling/", "Adaptive/"};
    EXPECT_EQ(quality, expectedQuality);
}

}  // namespace
}  // namespace lumo

namespace lumo {
namespace {

using ThreadsCommand = test::ProgramTest;

TEST_F(ThreadsCommand, AllTakesEveryHardwareThreadAndOneItemShowsTheCount) {
    const int hw = hardwareThreads();
    for (const auto& [id, n] : std::vector<std::pair<int, int>>{{kCmdThreads1, 1}, {kCmdThreads2, 2}, {kCmdThreads4, 4}}) {
        execute(id);
        EXPECT_EQ(settings().threadCount, n);
        EXPECT_EQ(stateOf(id).checked, n != hw) << n;  // "All (n)" shows it alone
        EXPECT_EQ(stateOf(kCmdThreadsAll).checked, n == hw) << n;
        for (const int other : {kCmdThreads1, kCmdThreads2, kCmdThreads4}) EXPECT_TRUE(other == id || !stateOf(other).checked);
    }
    execute(kCmdThreads1);
    EXPECT_FALSE(stateOf(kCmdThreadsAll).checked || hardwareThreads() == 1);
    execute(kCmdThreadsAll);
    EXPECT_EQ(settings().threadCount, hardwareThreads());
    EXPECT_TRUE(stateOf(kCmdThreadsAll).checked);
    EXPECT_EQ(std::string(findCommand(kCmdThreadsAll)->text), "All (" + std::to_string(hardwareThreads()) + ")");
}

}  // namespace
}  // namespace lumo
