#include "cli/options.h"
#include "core/workers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace lumo {
namespace {

ParseResult parse(std::initializer_list<const char*> args) {
    return parseOptions(std::vector<std::string>(args.begin(), args.end()));
}

TEST(CliOptions, DefaultsAreSceneOneAt320x240PhongSubsamplingStandardOneThreadOneFrame) {
    const ParseResult r = parse({});
    ASSERT_EQ(r.status, ParseResult::kRun);
    const RenderOptions& o = r.options;
    EXPECT_EQ(o.sceneId, 1);
    EXPECT_EQ(o.width, 320);
    EXPECT_EQ(o.height, 240);
    EXPECT_EQ(o.shader, kShaderPhong);
    EXPECT_EQ(o.samplingMode, 2);
    EXPECT_EQ((std::vector<int>(o.thresholds, o.thresholds + 5)), (std::vector<int>{5, 24, 32, 48, 64}));
    EXPECT_EQ(o.antiAliasing, 0);
    EXPECT_FALSE(o.filter);
    EXPECT_EQ(o.threadCount, hardwareThreads());
    EXPECT_FALSE(o.animate);
    EXPECT_EQ(o.frames, 1);
    EXPECT_TRUE(o.outPath.empty());
}

TEST(CliOptions, EveryOptionTakesItsValues) {
    const ParseResult r =
        parse({"--scene",  "Shadows 1", "--size=640x480", "--shader", "uv",       "--sampling", "full",
               "--preset", "1/4",       "--aa",           "best",     "--filter", "--threads",  "3",
               "--time",   "1500.5",    "--frames",       "12",       "--out",    "pics/a.PNG"});
    ASSERT_EQ(r.status, ParseResult::kRun) << r.error;
    const RenderOptions& o = r.options;
    EXPECT_EQ(o.sceneId, 4);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 480);
    EXPECT_EQ(o.shader, kShaderUV);
    EXPECT_EQ(o.samplingMode, 1);
    EXPECT_EQ((std::vector<int>(o.thresholds, o.thresholds + 5)), (std::vector<int>{-1, -1, 300, 300, 300}));
    EXPECT_EQ(o.antiAliasing, 2);
    EXPECT_TRUE(o.filter);
    EXPECT_EQ(o.threadCount, 3);
    EXPECT_EQ(parse({"--threads", "ALL"}).options.threadCount, hardwareThreads());
    EXPECT_TRUE(o.animate);
    EXPECT_DOUBLE_EQ(o.timeMs, 1500.5);
    EXPECT_EQ(o.frames, 12);
    EXPECT_EQ(o.outPath, "pics/a.PNG");

    EXPECT_EQ(parse({"--preset", "raw"}).options.thresholds[0], 9999);
    EXPECT_EQ(parse({"--preset", "1/16"}).options.thresholds[0], -1);
    EXPECT_EQ(parse({"--preset", "1/1"}).options.thresholds[2], -1);
    EXPECT_EQ(parse({"--aa", "good"}).options.antiAliasing, 1);
    EXPECT_EQ(parse({"--shader", "depth"}).options.shader, kShaderDepth);
    EXPECT_EQ(parse({"--size", "1x8192"}).options.height, 8192);
    EXPECT_EQ(parse({"--time", "0"}).options.timeMs, 0.0);
    EXPECT_EQ(parse({"--help", "--size", "8x8"}).status, ParseResult::kHelp);
    EXPECT_EQ(parse({"--isa", "sse", "--isa", "SSE"}).status, ParseResult::kRun);  // repeated, not contradicting
    EXPECT_EQ(parse({"--size", "8x8", "--version"}).status, ParseResult::kVersion);
    EXPECT_THAT(versionText(), testing::MatchesRegex("lumo-render [0-9]+\\.[0-9]+(\\.[0-9]+)*\n"));
}

TEST(CliOptions, SceneNamesFollowTheDemoMenu) {
    // In menu order: the number is the place in the Demo menu, the id the scene's own.
    const char* names[] = {"mirrorsphere", "spheres", "balls",      "torus",      "cube",
                           "egg",          "shadows-1", "area-light", "cornell-box"};
    const int ids[] = {1, 6, 2, 5, 3, 8, 4, 7, 9};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(sceneIdFromName(names[i]), ids[i]);
        EXPECT_EQ(sceneIdFromName(std::to_string(i + 1)), ids[i]);
    }
    EXPECT_EQ(sceneIdFromName("Cornell Box"), 9);
    EXPECT_EQ(sceneIdFromName("AREA-LIGHT"), 7);
    EXPECT_EQ(sceneIdFromName("MirrorSphere"), 1);
    EXPECT_EQ(sceneIdFromName("0"), 0);
    EXPECT_EQ(sceneIdFromName("10"), 0);
    EXPECT_EQ(sceneIdFromName("shadows"), 0);
    EXPECT_EQ(sceneIdFromName("cornellbox"), 0);
}

TEST(CliOptions, BadInputNamesTheOptionAndWhatItAccepts) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus' (see --help)"},
        {{"scene"}, "unknown option 'scene' (see --help)"},
        {{"--size"}, "--size needs a value: WxH with W and H from 1 to 8192, e.g. 640x480"},
        {{"--size", "0x5"}, "--size expects WxH with W and H from 1 to 8192, e.g. 640x480, got '0x5'"},
        {{"--threads", "65"}, "--threads expects a whole number from 1 to 64, or all, got '65'"},
        {{"--threads", "0"}, "--threads expects a whole number from 1 to 64, or all, got '0'"},
        {{"--filter=1"}, "--filter takes no value"},
        {{"--out", "picture.jpg"},
         "--out expects a file name ending in .png, with at most one frame number (%d, %Nd or %0Nd, N from 1 "
         "to 9) in the file name and %% for %, or - for stdout, got 'picture.jpg'"},
        {{"--time", "4294967296"}, "--time expects a clock in milliseconds from 0 to 4294967295, got '4294967296'"},
        {{"--tolerance", "256"}, "--tolerance expects a whole number from 0 to 255, got '256'"},
        {{"--min-match", "1.5"}, "--min-match expects a fraction from 0 to 1, e.g. 0.999, got '1.5'"},
        {{"--size", "8x8", "--", "--frames"}, "unexpected argument '--frames' (see --help)"},
        {{"--diff", "d.png"}, "--diff needs --compare REF.png"},
        {{"--compare", "r.png", "--out", "d.png", "--diff", "d.png"}, "--diff and --out name the same file"},
        // Options that contradict each other, and a bad option beside --help.
        {{"--help", "--bogus"}, "unknown option '--bogus' (see --help)"},
        {{"--bogus", "--version"}, "unknown option '--bogus' (see --help)"},
        {{"--scene", "3", "--scene-file", "f.json"}, "--scene and --scene-file both choose the scene: give one"},
        {{"--scene-file", "f.json", "--scene", "3"}, "--scene and --scene-file both choose the scene: give one"},
        {{"--asm", "on", "--isa", "scalar"}, "--isa and --asm both choose the SIMD level: give one"},
        {{"--isa", "auto", "--asm", "on"}, "--isa and --asm both choose the SIMD level: give one"},
        {{"--isa", "avx2", "--isa", "sse"}, "--isa is given twice with different values"},
        {{"--asm", "on", "--asm", "off"}, "--asm is given twice with different values"},
        {{"--time", "4294967295", "--step", "1", "--frames", "2"},
         "the last frame's clock, --time + (--frames - 1) x --step, must not pass 4294967295 ms"},
        // A long bad value is quoted by its start and end, 60 characters in all; control characters escaped.
        {{"--scene", std::string(100000, 'a') + "\n" + std::string(40, 'z')},
         "--scene expects 1..9 or mirrorsphere, spheres, balls, torus, cube, egg, shadows-1, area-light, "
         "cornell-box, got '" + std::string(30, 'a') + "..." + std::string(27, 'z') + "'"},
        {{"--scene", "a\tb"}, "--scene expects 1..9 or mirrorsphere, spheres, balls, torus, cube, egg, "
                              "shadows-1, area-light, cornell-box, got 'a\\x09b'"},
    };
    for (const Case& c : cases) {
        const ParseResult r = parseOptions(c.args);
        EXPECT_EQ(r.status, ParseResult::kError) << c.args[0];
        EXPECT_EQ(r.error, c.error);
    }
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"--size", "640x"},
                                                                              {"--size", "640*480"},
                                                                              {"--size", "8193x10"},
                                                                              {"--size", "-4x3"},
                                                                              {"--scene", "11"},
                                                                              {"--shader", "flat"},
                                                                              {"--sampling", "half"},
                                                                              {"--preset", "1/2"},
                                                                              {"--aa", "2"},
                                                                              {"--time", "-5"},
                                                                              {"--time", "1e3"},
                                                                              {"--time", "abc"},
                                                                              {"--frames", "0"},
                                                                              {"--frames", "2.5"},
                                                                              {"--out", ".png"},
                                                                              {"--out", "a_%x.png"},
                                                                              {"--out", "a_%d_%d.png"},
                                                                              {"--out", "a_%010d.png"},
                                                                              {"--out", "f%d/a.png"},
                                                                              {"--out", "a.png%d"},
                                                                              {"--threads", "4", "--frames"}}) {
        const ParseResult r = parseOptions(bad);
        EXPECT_EQ(r.status, ParseResult::kError) << bad[0] << " " << bad[1];
        EXPECT_NE(r.error.find(bad[bad.size() == 3 ? 2 : 0]), std::string::npos) << r.error;
    }
}

TEST(CliOptions, AFrameNumberInTheOutputNameWritesASequenceThatAdvancesTheClock) {
    RenderOptions o = parse({"--out=frames/egg_%04d.png", "--frames", "3", "--", }).options;
    EXPECT_TRUE(o.outSequence);
    EXPECT_TRUE(o.animate);  // from clock 0 without --time
    EXPECT_EQ(o.stepMs, 40.0);
    EXPECT_EQ(frameFileName(o.outPath, 0), "frames/egg_0000.png");
    EXPECT_EQ(frameFileName(o.outPath, 12345), "frames/egg_12345.png");
    EXPECT_EQ(frameFileName("100%%_%3d.png", 7), "100%_  7.png");
    EXPECT_EQ(frameFileName("%d.png", 42), "42.png");

    // %% is a literal % in every --out name, with or without a frame number, also in a folder's name.
    EXPECT_EQ(parse({"--out", "100%%.png"}).options.outPath, "100%.png");
    o = parse({"--out", "a%%/f_%d.png"}).options;
    EXPECT_TRUE(o.outSequence);
    EXPECT_EQ(frameFileName(o.outPath, 3), "a%/f_3.png");

    o = parse({"--out", "still.png", "--frames", "3", "--time", "100"}).options;
    EXPECT_FALSE(o.outSequence);
    EXPECT_EQ(o.stepMs, 0.0);  // a benchmark renders the same frame again
    o = parse({"--out", "s_%d.png", "--step", "12.5"}).options;
    EXPECT_EQ(o.stepMs, 12.5);
    o = parse({"--step", "10"}).options;
    EXPECT_TRUE(o.animate);
    EXPECT_FALSE(parse({"--frames", "2"}).options.animate);
}

TEST(CliOptions, HelpListsEveryOptionAndItsValues) {
    const std::string help = helpText();
    for (const char* word :
         {"--scene", "--size", "--shader", "--sampling", "--preset", "--aa", "--filter", "--threads", "--time",
          "--frames", "--out", "--help", "cornell-box", "reflection", "1/16", "best", "8192", "mrays_per_s", "--step",
          "--compare", "--tolerance", "--min-match", "--diff", "--json", "%04d", "peak_memory_bytes", "--isa"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace lumo
