#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/startup.h"
#include "cli/options.h"
#include "cli/render_command.h"

namespace lumo {
namespace {

ParseResult parse(std::initializer_list<const char*> args) {
    return parseOptions(std::vector<std::string>(args.begin(), args.end()));
}

TEST(CliPhotonOptions, DefaultsFollowTheSceneCommand) {
    const RenderSettings saved = settings();
    struct Case {
        const char* scene;
        int kernel, caustics, gi;
    } cases[] = {{"egg", 1, 1, 0}, {"cornell-box", 6, 0, 1}, {"cube", 6, 0, 0}, {"area-light", 0, 0, 0}};
    for (const Case& c : cases) {
        const ParseResult r = parse({"--scene", c.scene});
        ASSERT_EQ(r.status, ParseResult::kRun) << c.scene;
        applyOptions(r.options);
        const RenderSettings& s = settings();
        EXPECT_EQ(s.interpolationKernel, c.kernel) << c.scene;
        EXPECT_EQ(s.causticsCalculate, c.caustics) << c.scene;
        EXPECT_EQ(s.causticsDisplay, c.caustics) << c.scene;
        EXPECT_EQ(s.giCalculate, c.gi) << c.scene;
        EXPECT_EQ(s.giDisplay, c.gi) << c.scene;
        EXPECT_EQ(s.causticPhotonCount, 10000);
        EXPECT_EQ(s.causticSplitCount, 30);
        EXPECT_EQ(s.giPhotonCount, 500000);
        EXPECT_EQ(s.giSplitCount, 2500);
        EXPECT_EQ(s.giOnlyIndirect, 1);
    }
    settings() = saved;
}

TEST(CliPhotonOptions, OptionsOverrideTheScene) {
    const RenderSettings saved = settings();
    ParseResult r = parse({"--scene", "egg", "--caustics", "off", "--interpolation", "5", "--caustic-photons", "40000",
                           "--caustic-split=20"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    applyOptions(r.options);
    EXPECT_EQ(settings().causticsCalculate, 0);
    EXPECT_EQ(settings().causticsDisplay, 0);
    EXPECT_EQ(settings().interpolationKernel, 5);
    EXPECT_EQ(settings().causticPhotonCount, 40000);
    EXPECT_EQ(settings().causticSplitCount, 20);

    r = parse({"--gi-photons", "2000000", "--gi-split", "1000", "--only-indirect", "OFF", "--scene", "9", "--gi", "on"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    applyOptions(r.options);
    EXPECT_EQ(settings().giCalculate, 1);
    EXPECT_EQ(settings().giDisplay, 1);
    EXPECT_EQ(settings().giPhotonCount, 2000000);
    EXPECT_EQ(settings().giSplitCount, 1000);
    EXPECT_EQ(settings().giOnlyIndirect, 0);

    r = parse({"--scene", "cube", "--caustics", "on"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    applyOptions(r.options);
    EXPECT_EQ(settings().causticsCalculate, 1);

    r = parse({"--asm", "off"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    applyOptions(r.options);
    EXPECT_EQ(settings().useAsm, 0);
    r = parse({"--asm", "on"});
    applyOptions(r.options);
    EXPECT_EQ(settings().useAsm, processorSupportsSse() ? 1 : 0);
    settings() = saved;
}

TEST(CliPhotonOptions, BadValuesAndUnavailableScenesAreErrors) {
    const struct {
        std::initializer_list<const char*> args;
        const char* message;
    } cases[] = {
        {{"--caustic-photons", "5000"}, "--caustic-photons expects 2500, 10000 or 40000, got '5000'"},
        {{"--caustic-split", "x"}, "--caustic-split expects 20, 30 or 40, got 'x'"},
        {{"--gi-photons", "1000000"}, "--gi-photons expects 125000, 500000 or 2000000, got '1000000'"},
        {{"--gi-split", "2000"}, "--gi-split expects 1000, 2500 or 5000, got '2000'"},
        {{"--interpolation", "7"}, "--interpolation expects a kernel number from 0 to 6, got '7'"},
        {{"--only-indirect", "yes"}, "--only-indirect expects on or off, got 'yes'"},
        {{"--asm", "1"}, "--asm expects on or off, got '1'"},
        {{"--gi"}, "--gi needs a value: on or off"},
        {{"--caustics", "on"}, "--caustics on needs the cube or egg scene (--scene cube or --scene egg)"},
        {{"--scene", "egg", "--gi", "on"}, "--gi on needs the cornell-box scene (--scene cornell-box)"},
    };
    for (const auto& c : cases) {
        const ParseResult r = parseOptions(std::vector<std::string>(c.args.begin(), c.args.end()));
        EXPECT_EQ(r.status, ParseResult::kError) << c.message;
        EXPECT_EQ(r.error, c.message);
    }
    // Switching off is allowed anywhere.
    EXPECT_EQ(parse({"--scene", "torus", "--caustics", "off", "--gi", "off"}).status, ParseResult::kRun);
}

}  // namespace
}  // namespace lumo
