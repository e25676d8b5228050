#include "app/stored_settings.h"

#include <gtest/gtest.h>

#include "app/commands.h"
#include "core/workers.h"
#include "support/program_fixture.h"

namespace lumo {
namespace {

using StoredSettings = test::ProgramTest;

TEST_F(StoredSettings, RoundTripGivesTheSameChoices) {
    for (int id : {kCmdCornellBox, kCmdOneToOne, kCmdAntiAliasGood, kCmdInterpStacked, kCmdFilter, kCmdGiSamples2m,
                   kCmdGiQuality5000, kCmdGiOnlyIndirect, kCmdGiDisplay, kCmdSampling4, kCmdAdaptive10,
                   kCmdShadeUV, kCmdThreads2, kCmdAnimation, kCmdCausticSamples40000, kCmdRefine16})
        execute(id);
    const auto stored = storedSettings(settings());
    EXPECT_EQ(stored.front().first, "scene");  // first: choosing it resets some of the others
    const RenderSettings chosen = settings();

    // A new run's program takes them back.
    RecordingPlatform platform;
    Program next(platform);
    startUp(next);
    for (const auto& [key, value] : stored) EXPECT_TRUE(applyStoredSetting(next, key, value)) << key;
    const RenderSettings& taken = next.shared.settings;
    EXPECT_EQ(storedSettings(taken), stored);
    EXPECT_EQ(taken.giDisplay, 0);
    EXPECT_EQ(taken.giCalculate, chosen.giCalculate);
    EXPECT_EQ(taken.currentShader, kShaderUV);
    EXPECT_EQ(taken.threadCount, 2);
    EXPECT_EQ(taken.refinePasses, 16);
}

TEST_F(StoredSettings, ValuesTheMenusCannotSetAreRefused) {
    const auto defaults = storedSettings(settings());
    const std::pair<const char*, int> refused[] = {
        {"scene", 0},         {"scene", 10},          {"sampling", 3},      {"antiAliasing", -1},
        {"interpolation", 7}, {"causticPhotons", 5},  {"giPhotons", 0},     {"threshold2", 10000},
        {"adaptiveFps", 7},   {"shader", 6},          {"threads", 65},      {"threads", -1},
        {"giCalculate", 1},   {"causticsDisplay", 1}, {"filter", 2},        {"refine", 32},
        {"no-such-key", 0}};
    for (const auto& [key, value] : refused) EXPECT_FALSE(applyStoredSetting(program, key, value)) << key << "=" << value;
    EXPECT_EQ(storedSettings(settings()), defaults);  // nothing changed

    // "All" is stored as 0 and means every hardware thread of the machine that reads it.
    EXPECT_EQ(defaults.back().first, "traceLogicalSize");
    for (const auto& [key, value] : defaults) {
        if (key == "threads") {
            EXPECT_EQ(value, 0);
        }
    }
    EXPECT_TRUE(applyStoredSetting(program, "threads", 0));
    EXPECT_EQ(settings().threadCount, hardwareThreads());
    EXPECT_TRUE(applyStoredSetting(program, "scene", 8));
    EXPECT_TRUE(applyStoredSetting(program, "causticsCalculate", 1));  // the egg offers caustics
}

}  // namespace
}  // namespace lumo
