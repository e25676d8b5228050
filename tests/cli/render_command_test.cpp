#include "cli/render_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "app/platform.h"
#include "app/settings.h"
#include "scene/world.h"

namespace lumo {
namespace {

namespace fs = std::filesystem;

RenderOptions optionsFor(std::initializer_list<const char*> args) {
    const ParseResult r = parseOptions(std::vector<std::string>(args.begin(), args.end()));
    EXPECT_EQ(r.status, ParseResult::kRun) << r.error;
    return r.options;
}

struct RenderCommand : testing::Test {
    fs::path dir;
    std::ostringstream out, err;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("lumo_cli_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        resetSettings();
    }
};

TEST_F(RenderCommand, ReportsOneLineOfMeansAndWritesThePicture) {
    const std::string png = (dir / "m.png").string();
    const RenderOptions o =
        optionsFor({"--scene", "mirrorsphere", "--size", "64x48", "--frames", "3", "--out", png.c_str()});
    ASSERT_EQ(runRender(o, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const std::regex line(
        R"(scene=1 size=64x48 frames=3 ms_per_frame=\d+\.\d{3} fps=\d+\.\d{2} samples_per_frame=(\d+) )"
        R"(rays_per_frame=(\d+) mrays_per_s=\d+\.\d{3}\n)");
    std::smatch m;
    const std::string text = out.str();
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    const int samples = std::stoi(m[1]);
    EXPECT_GE(samples, 17 * 13);  // one per 4x4 block at least
    EXPECT_LT(samples, 64 * 48);
    EXPECT_GE(std::stoi(m[2]), samples);
    EXPECT_TRUE(fs::exists(png));
    EXPECT_GT(fs::file_size(png), 50u);
    // The platform the run installed is gone again; the scene command set the title.
    EXPECT_EQ(&platform(), &recordingPlatform());
}

TEST_F(RenderCommand, FullSamplingTracesEachPixelOnceOnEveryThreadCount) {
    for (const char* threads : {"1", "2", "4"}) {
        std::ostringstream o;
        ASSERT_EQ(runRender(optionsFor({"--sampling", "full", "--size", "30x20", "--threads", threads}), o, err), 0);
        EXPECT_NE(o.str().find(" samples_per_frame=600 "), std::string::npos) << o.str();
        EXPECT_EQ(settings().threadCount, std::stoi(threads));
        EXPECT_EQ(settings().samplingMode, 1);
    }
}

TEST_F(RenderCommand, SelectsTheSceneAndItsSettingsAsTheDemoMenuDoes) {
    ASSERT_EQ(runRender(optionsFor({"--scene", "cube", "--size", "16x12", "--shader", "normals", "--aa", "good",
                                    "--preset", "raw", "--filter"}),
                        out, err),
              0);
    EXPECT_EQ(settings().sceneId, 3);
    EXPECT_EQ(settings().interpolationKernel, 6);
    EXPECT_EQ(currentScene().id, 3);
    EXPECT_EQ(settings().currentShader, shadeNormals);
    EXPECT_EQ(settings().antiAliasing, 1);
    EXPECT_EQ(settings().refineThresholds[0], 9999);
    EXPECT_EQ(settings().filterOn, 1);
    EXPECT_EQ(settings().adaptiveTargetFps, 0);
}

TEST_F(RenderCommand, UnwritableOutputIsOneErrorLineAndNoFile) {
    const std::string png = (dir / "missing" / "x.png").string();
    EXPECT_EQ(runRender(optionsFor({"--size", "8x8", "--out", png.c_str()}), out, err), 2);
    EXPECT_EQ(out.str(), "");
    const std::string e = err.str();
    EXPECT_EQ(e.rfind("lumo-render: --out: ", 0), 0u) << e;
    EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(dir / "missing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 0);
}

}  // namespace
}  // namespace lumo
