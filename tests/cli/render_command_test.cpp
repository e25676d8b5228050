#include "cli/render_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "core/workers.h"
#include "image/frame.h"
#include "read_png.h"
#include "scene/demo_scenes.h"

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
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(RenderCommand, ReportsOneLineOfMeansAndWritesThePicture) {
    const std::string png = (dir / "m.png").string();
    const RenderOptions o =
        optionsFor({"--scene", "mirrorsphere", "--size", "64x48", "--frames", "3", "--out", png.c_str()});
    ASSERT_EQ(runRender(o, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const std::regex line(
        R"(scene=1 size=64x48 frames=3 ms_per_frame=\d+\.\d{3} fps=\d+\.\d{2} samples_per_frame=(\d+) )"
        R"(rays_per_frame=(\d+) mrays_per_s=\d+\.\d{3} isa=(scalar|sse|avx2|avx512) tiles=\d+(/\d+)*\n)");
    std::smatch m;
    const std::string text = out.str();
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    const int samples = std::stoi(m[1]);
    EXPECT_GE(samples, 17 * 13);  // one per 4x4 block at least
    EXPECT_LT(samples, 64 * 48);
    EXPECT_GE(std::stoi(m[2]), samples);
    EXPECT_TRUE(fs::exists(png));
    EXPECT_GT(fs::file_size(png), 50u);
}

TEST_F(RenderCommand, JsonSummaryIsOneObjectWithTheLinesFieldsAndMore) {
    const std::string ref = (dir / "ref.png").string();
    ASSERT_EQ(runRender(optionsFor({"--size", "16x12", "--out", ref.c_str()}), out, err), 0);
    std::ostringstream json;
    ASSERT_EQ(runRender(optionsFor({"--size", "16x12", "--threads", "2", "--sampling", "full", "--shader", "uv",
                                    "--json", "--compare", ref.c_str()}),
                        json, err),
              1);  // a different shader: the comparison fails
    const nlohmann::json j = nlohmann::json::parse(json.str());
    for (const char* field : {"scene", "size", "frames", "ms_per_frame", "fps", "samples_per_frame", "rays_per_frame",
                              "mrays_per_s", "isa", "tiles", "threads", "sampling", "shader", "peak_memory_bytes",
                              "tree_bytes", "mesh_bytes", "load_s", "build_s", "compare"})
        EXPECT_TRUE(j.contains(field)) << field;
    EXPECT_EQ(j["size"], "16x12");
    EXPECT_EQ(j["samples_per_frame"], 192);
    EXPECT_EQ(j["threads"], 2);
    EXPECT_EQ(j["sampling"], "full");
    EXPECT_EQ(j["shader"], "uv");
    EXPECT_EQ(j["isa"], isaName(resolveIsa(kIsaAuto, processorIsa())));
    EXPECT_GT(j["peak_memory_bytes"].get<uint64_t>(), 1u << 20);
    EXPECT_EQ(j["tree_bytes"].get<uint64_t>(), 16u + 2u * 4u);  // one leaf listing the ball and the ground
    EXPECT_EQ(j["compare"]["pixels"], 192);
    EXPECT_LT(j["compare"]["match"].get<int>(), 192);
    EXPECT_FALSE(j["compare"]["passed"].get<bool>());
    EXPECT_EQ(err.str(), "");
}

TEST_F(RenderCommand, FullSamplingTracesEachPixelOnceOnEveryThreadCount) {
    for (const char* threads : {"1", "2", "4"}) {
        std::ostringstream o;
        ASSERT_EQ(runRender(optionsFor({"--sampling", "full", "--size", "30x20", "--threads", threads}), o, err), 0);
        EXPECT_NE(o.str().find(" samples_per_frame=600 "), std::string::npos) << o.str();
    }
}

TEST(CliRenderParams, FrameParametersFollowTheOptions) {
    const RenderParams p = renderParams(
        optionsFor({"--sampling", "full", "--shader", "normals", "--aa", "good", "--preset", "1/4", "--filter",
                    "--threads", "2"}));
    EXPECT_EQ(p.sampling, kSamplingOneToOne);
    EXPECT_EQ(p.shader, kShaderNormals);
    EXPECT_EQ(p.antiAliasing, 1);
    EXPECT_EQ((std::vector<int>(p.refineThresholds, p.refineThresholds + 5)),
              (std::vector<int>{-1, -1, 300, 300, 300}));
    EXPECT_TRUE(p.filter);
    EXPECT_EQ(p.threadCount, 2);

    const RenderParams d = renderParams(optionsFor({}));
    EXPECT_EQ(d.sampling, kSamplingSubsampled);
    EXPECT_EQ(d.shader, kShaderPhong);
    EXPECT_EQ(d.antiAliasing, 0);
    EXPECT_EQ((std::vector<int>(d.refineThresholds, d.refineThresholds + 5)),
              (std::vector<int>{5, 24, 32, 48, 64}));
    EXPECT_FALSE(d.filter);
    EXPECT_EQ(d.threadCount, hardwareThreads());
}

TEST_F(RenderCommand, WritesTheFrameOfTheChosenSceneAtTheGivenTime) {
    const std::string png = (dir / "cube.png").string();
    const RenderOptions o = optionsFor({"--scene", "cube", "--size", "40x30", "--time", "1500", "--frames", "2",
                                        "--shader", "normals", "--filter", "--out", png.c_str()});
    ASSERT_EQ(runRender(o, out, err), 0) << err.str();
    EXPECT_EQ(out.str().rfind("scene=5 size=40x30 frames=2 ", 0), 0u) << out.str();

    std::unique_ptr<Scene> scene = buildScene(3);
    View view;
    view.camera = scene->camera;
    Renderer renderer;
    FrameBuffer fb;
    fb.resize(40, 30);
    produceFrame(renderer, *scene, view, renderParams(o), fb, 1500.0, true);
    test::Png written;
    ASSERT_TRUE(test::readPng(png, written));
    ASSERT_EQ(written.width, 40);
    ASSERT_EQ(written.height, 30);
    int mismatches = 0;
    for (int row = 0; row < 30; ++row)
        for (int column = 0; column < 40; ++column)
            mismatches += written.pixel(row, column) != (fb.at(29 - row, column + 1) & 0xFFFFFFu);
    EXPECT_EQ(mismatches, 0);
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
