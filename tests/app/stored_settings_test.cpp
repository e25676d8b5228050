#include "app/stored_settings.h"

#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/startup.h"
#include "core/workers.h"

namespace lumo {
namespace {

TEST(StoredSettings, RoundTripGivesTheSameChoices) {
    resetToStartup();
    for (int id : {kCmdCornellBox, kCmdOneToOne, kCmdAntiAliasGood, kCmdInterpStacked, kCmdFilter, kCmdGiSamples2m,
                   kCmdGiQuality5000, kCmdGiOnlyIndirect, kCmdGiDisplay, kCmdSampling4, kCmdAdaptive10,
                   kCmdShadeUV, kCmdThreads2, kCmdAnimation, kCmdCausticSamples40000})
        executeCommand(id);
    const auto stored = storedSettings(settings());
    EXPECT_EQ(stored.front().first, "scene");  // first: choosing it resets some of the others
    const RenderSettings chosen = settings();

    resetToStartup();
    for (const auto& [key, value] : stored) EXPECT_TRUE(applyStoredSetting(key, value)) << key;
    EXPECT_EQ(storedSettings(settings()), stored);
    EXPECT_EQ(settings().giDisplay, 0);
    EXPECT_EQ(settings().giCalculate, chosen.giCalculate);
    EXPECT_EQ(settings().currentShader, kShaderUV);
    EXPECT_EQ(settings().threadCount, 2);
}

TEST(StoredSettings, ValuesTheMenusCannotSetAreRefused) {
    resetToStartup();
    const auto defaults = storedSettings(settings());
    const std::pair<const char*, int> refused[] = {
        {"scene", 0},         {"scene", 10},          {"sampling", 3},      {"antiAliasing", -1},
        {"interpolation", 7}, {"causticPhotons", 5},  {"giPhotons", 0},     {"threshold2", 10000},
        {"adaptiveFps", 7},   {"shader", 6},          {"threads", 65},      {"threads", -1},
        {"giCalculate", 1},   {"causticsDisplay", 1}, {"filter", 2},        {"no-such-key", 0}};
    for (const auto& [key, value] : refused) EXPECT_FALSE(applyStoredSetting(key, value)) << key << "=" << value;
    EXPECT_EQ(storedSettings(settings()), defaults);  // nothing changed

    // "All" is stored as 0 and means every hardware thread of the machine that reads it.
    EXPECT_EQ(defaults.back().first, "traceLogicalSize");
    for (const auto& [key, value] : defaults) {
        if (key == "threads") {
            EXPECT_EQ(value, 0);
        }
    }
    EXPECT_TRUE(applyStoredSetting("threads", 0));
    EXPECT_EQ(settings().threadCount, hardwareThreads());
    EXPECT_TRUE(applyStoredSetting("scene", 8));
    EXPECT_TRUE(applyStoredSetting("causticsCalculate", 1));  // the egg offers caustics
}

}  // namespace
}  // namespace lumo
