#include "png/png_writer.h"

#include "png/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "read_png.h"

namespace lumo {
namespace {

namespace fs = std::filesystem;

using test::Png;
using test::readPng;

struct PngWriter : testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("lumo_png_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t fileCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
};

TEST_F(PngWriter, TopRowIsTheLastBufferRowAndLeftColumnIsColumnOne) {
    FrameBuffer fb;
    fb.resize(5, 3);
    for (int y = 0; y <= 3; ++y)
        for (int x = 0; x <= 5; ++x) fb.at(y, x) = static_cast<uint32_t>(y << 16 | x << 8 | 0x40);
    const std::string path = (dir / "out.png").string();
    std::string error;
    ASSERT_TRUE(writePng(fb, path, error)) << error;
    Png png;
    ASSERT_TRUE(readPng(path, png));
    ASSERT_EQ(png.width, 5);
    ASSERT_EQ(png.height, 3);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 5; ++column)
            EXPECT_EQ(png.pixel(row, column), fb.at(2 - row, column + 1)) << row << ", " << column;
    EXPECT_EQ(fileCount(), 1u);  // no temporary left behind
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IRGRP, 0u);
}

TEST_F(PngWriter, ReplacesAnOldFileWhole) {
    const std::string path = (dir / "same.png").string();
    FrameBuffer small, large;
    small.resize(2, 2);
    large.resize(40, 30);
    std::string error;
    ASSERT_TRUE(writePng(large, path, error));
    ASSERT_TRUE(writePng(small, path, error));
    Png png;
    ASSERT_TRUE(readPng(path, png));
    EXPECT_EQ(png.width, 2);
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(PngWriter, FailuresLeaveNoFile) {
    FrameBuffer fb;
    fb.resize(4, 4);
    std::string error;
    const std::string missing = (dir / "no" / "such" / "dir.png").string();
    EXPECT_FALSE(checkOutput(missing, error));
    EXPECT_NE(error.find(missing), std::string::npos);
    EXPECT_FALSE(writePng(fb, missing, error));

    fs::create_directory(dir / "folder.png");
    EXPECT_FALSE(checkOutput((dir / "folder.png").string(), error));
    EXPECT_NE(error.find("is a directory"), std::string::npos);

    EXPECT_TRUE(checkOutput((dir / "fine.png").string(), error));
    EXPECT_FALSE(fs::exists(dir / "fine.png"));
    EXPECT_EQ(fileCount(), 1u);  // only folder.png
}

}  // namespace
}  // namespace lumo
