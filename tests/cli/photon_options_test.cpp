#include <gtest/gtest.h>

#include "cli/options.h"
#include "cli/render_command.h"

namespace lumo {
namespace {

ParseResult parse(std::initializer_list<const char*> args) {
    return parseOptions(std::vector<std::string>(args.begin(), args.end()));
}

TEST(CliPhotonOptions, DefaultsFollowTheSceneCommand) {
    struct Case {
        const char* scene;
        int kernel;
        bool caustics, gi;
    } cases[] = {{"egg", 1, true, false}, {"cornell-box", 6, false, true}, {"cube", 6, false, false},
                 {"area-light", 0, false, false}};
    for (const Case& c : cases) {
        const ParseResult r = parse({"--scene", c.scene});
        ASSERT_EQ(r.status, ParseResult::kRun) << c.scene;
        const PhotonParams p = renderParams(r.options).photons;
        EXPECT_EQ(p.interpolationKernel, c.kernel) << c.scene;
        EXPECT_EQ(p.causticsCalculate, c.caustics) << c.scene;
        EXPECT_EQ(p.causticsDisplay, c.caustics) << c.scene;
        EXPECT_EQ(p.giCalculate, c.gi) << c.scene;
        EXPECT_EQ(p.giDisplay, c.gi) << c.scene;
        EXPECT_EQ(p.causticPhotonCount, 10000);
        EXPECT_EQ(p.causticSplitCount, 30);
        EXPECT_EQ(p.giPhotonCount, 500000);
        EXPECT_EQ(p.giSplitCount, 2500);
        EXPECT_TRUE(p.giOnlyIndirect);
    }
}

TEST(CliPhotonOptions, OptionsOverrideTheScene) {
    ParseResult r = parse({"--scene", "egg", "--caustics", "off", "--interpolation", "5", "--caustic-photons", "40000",
                           "--caustic-split=20"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    PhotonParams p = renderParams(r.options).photons;
    EXPECT_FALSE(p.causticsCalculate);
    EXPECT_FALSE(p.causticsDisplay);
    EXPECT_EQ(p.interpolationKernel, 5);
    EXPECT_EQ(p.causticPhotonCount, 40000);
    EXPECT_EQ(p.causticSplitCount, 20);

    r = parse(
        {"--gi-photons", "2000000", "--gi-split", "1000", "--only-indirect", "OFF", "--scene", "9", "--gi", "on"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    p = renderParams(r.options).photons;
    EXPECT_TRUE(p.giCalculate);
    EXPECT_TRUE(p.giDisplay);
    EXPECT_EQ(p.giPhotonCount, 2000000);
    EXPECT_EQ(p.giSplitCount, 1000);
    EXPECT_FALSE(p.giOnlyIndirect);

    r = parse({"--scene", "cube", "--caustics", "on"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    EXPECT_TRUE(renderParams(r.options).photons.causticsCalculate);

    // Packets at the widest level unless asked otherwise; --asm and --isa, the later one counting.
    EXPECT_EQ(renderParams(parse({}).options).isa, kIsaAuto);
    EXPECT_EQ(renderParams(parse({"--asm", "off"}).options).isa, kIsaScalar);
    EXPECT_EQ(renderParams(parse({"--asm", "off", "--isa", "avx2"}).options).isa, kIsaAvx2);
    EXPECT_EQ(renderParams(parse({"--isa", "sse", "--asm", "on"}).options).isa, kIsaAuto);
    EXPECT_EQ(parse({"--isa", "avx"}).status, ParseResult::kError);
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
