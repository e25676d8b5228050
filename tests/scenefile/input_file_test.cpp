// Inputs read whole: regular files only, never past their limit, and the files a scene read listed.
#include "scenefile/input_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "scenefile/scene_file.h"

namespace lumo {
namespace {

TEST(InputFile, OnlyRegularFilesUpToTheLimit) {
    const std::string dir = std::filesystem::temp_directory_path() / ("lumo_input_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/ten.txt";
    std::ofstream(file) << "0123456789";
    std::string bytes, reason;
    EXPECT_TRUE(readInputFile(file, 10, bytes, reason)) << reason;
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_FALSE(readInputFile(file, 9, bytes, reason));
    EXPECT_EQ(reason, "is larger than 9 bytes");
    EXPECT_TRUE(bytes.empty());
    // A regular file whose size says 0 is still read only up to the limit.
    EXPECT_TRUE(readInputFile("/proc/self/status", 1 << 20, bytes, reason)) << reason;
    EXPECT_GT(bytes.size(), 64u);
    EXPECT_FALSE(readInputFile("/proc/self/status", 64, bytes, reason));
    EXPECT_EQ(reason, "is larger than 64 bytes");

    EXPECT_FALSE(readInputFile("/dev/zero", 1 << 20, bytes, reason));
    EXPECT_EQ(reason, "is a character device, not a regular file");
    EXPECT_FALSE(readInputFile(dir, 1 << 20, bytes, reason));
    EXPECT_EQ(reason, "is a directory, not a file");
    EXPECT_FALSE(readInputFile(dir + "/none", 1 << 20, bytes, reason));
    EXPECT_EQ(reason, "cannot be read: No such file or directory");
    std::filesystem::remove_all(dir);
    EXPECT_EQ(byteLimitText(kMaxSceneFileBytes), "256 MiB");
    EXPECT_EQ(byteLimitText(kMaxDataFileBytes), "2 GiB");
}

TEST(InputFile, ASceneListsEveryFileItRead) {
    const std::string data = LUMO_TEST_DATA "/scenes/";
    const SceneFileResult r = loadSceneFile(data + "mesh.json");
    ASSERT_TRUE(r.scene) << r.error;
    const std::vector<std::string> expected = {data + "mesh.json", data + "quad.obj", data + "quad.mtl",
                                               data + "quad.obj",  data + "quad.mtl", data + "tri.gltf"};
    EXPECT_EQ(r.inputs, expected);
}

}  // namespace
}  // namespace lumo
