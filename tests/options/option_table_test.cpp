#include "options/option_table.h"

#include <gtest/gtest.h>

#include "options/common_options.h"

namespace lumo {
namespace {

// A second front end's table: the shared options and one switch of its own.
struct Window : testing::Test {
    CommonOptions o;
    bool fullscreen = false;
    OptionTable table;
    Window() {
        o.threadCount = 1;
        addCommonOptions(table, o);
        table.push_back({"--fullscreen", "", "", "fill the screen", [this](const std::string&) {
                             fullscreen = true;
                             return true;
                         }});
    }
    OptionsRead read(std::vector<std::string> args) { return readOptions(args, table); }
};

TEST_F(Window, ReadsValuesAfterTheNameOrAnEqualsSignUntilADoubleDash) {
    const OptionsRead r = read({"--scene=cornell-box", "--size", "64x48", "--threads=all", "--shader", "NORMALS",
                                "--fullscreen", "--"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(o.sceneId, 9);
    EXPECT_EQ(o.width, 64);
    EXPECT_EQ(o.height, 48);
    EXPECT_EQ(o.threadCount, hardwareThreads());
    EXPECT_EQ(o.shader, kShaderNormals);
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(read({"--", "--size"}).error, "unexpected argument '--size' (see --help)");
    EXPECT_EQ(read({"--fullscreen=yes"}).error, "--fullscreen takes no value");
    EXPECT_EQ(read({"--size="}).error, "--size expects WxH with W and H from 1 to 8192, e.g. 640x480, got ''");
}

TEST_F(Window, HelpNamesEachOptionAndTheFrontEndsDefaults) {
    const std::string help = optionsHelp(table);
    EXPECT_NE(help.find("  --size WxH                picture size, 1x1 to 8192x8192; default 320x240\n"),
              std::string::npos)
        << help;
    EXPECT_NE(help.find("threads); default 1\n"), std::string::npos) << help;
    EXPECT_NE(help.find("\n                            spheres, balls, torus, cube,"), std::string::npos) << help;
    EXPECT_NE(help.find("  --fullscreen              fill the screen\n"), std::string::npos) << help;
}

TEST(QuoteArgument, KeepsShortTextAndCutsLongTextAtCharacterBoundaries) {
    EXPECT_EQ(quoteArgument("abc"), "'abc'");
    EXPECT_EQ(quoteArgument("a\x1b[2Jb"), "'a\\x1B[2Jb'");
    // 40 two-byte characters: the cut falls between characters, and the result stays within 60 bytes.
    std::string wide;
    for (int i = 0; i < 40; ++i) wide += "\xC3\xA9";
    const std::string q = quoteArgument(wide);
    EXPECT_LE(q.size(), 62u);
    EXPECT_NE(q.find("\xC3\xA9..."), std::string::npos) << q;
    EXPECT_NE(q.find("...\xC3\xA9"), std::string::npos) << q;
}

}  // namespace
}  // namespace lumo
