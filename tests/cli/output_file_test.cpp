#include "png/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lumo {
namespace {

namespace fs = std::filesystem;

struct OutputFile : testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("lumo_output_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string contents(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    size_t fileCount() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
};

TEST_F(OutputFile, AReplacedFileKeepsItsModeAndALinkItsTarget) {
    const fs::path file = dir / "a.png", link = dir / "link.png";
    std::ofstream(file) << "old";
    chmod(file.c_str(), 0600);
    fs::create_symlink(file, link);
    std::string error;
    ASSERT_TRUE(writeOutput(link.string(), {'n', 'e', 'w'}, error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(file), "new");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(fileCount(), 2u);  // no temporary left
}

TEST_F(OutputFile, SameFileByIdentityOrResolvedName) {
    const fs::path file = dir / "a.png", hard = dir / "hard.png", link = dir / "link.png", other = dir / "b.png";
    std::ofstream(file) << "a";
    std::ofstream(other) << "b";
    fs::create_hard_link(file, hard);
    fs::create_symlink(file, link);
    fs::create_directories(dir / "sub");
    EXPECT_TRUE(namesSameFile(file.string(), hard.string()));
    EXPECT_TRUE(namesSameFile(link.string(), file.string()));
    EXPECT_FALSE(namesSameFile(file.string(), other.string()));
    EXPECT_TRUE(namesSameFile((dir / "sub/../new.png").string(), (dir / "new.png").string()));
    EXPECT_FALSE(namesSameFile((dir / "new.png").string(), file.string()));
    EXPECT_FALSE(namesSameFile("/dev/null", "/dev/null"));  // not a file an output could destroy
    EXPECT_EQ(standardStreamOf("-"), 1);
    EXPECT_EQ(standardStreamOf("/dev/stderr"), 2);
    EXPECT_EQ(standardStreamOf("/proc/self/fd/7"), 7);
    EXPECT_EQ(standardStreamOf("/dev/fd/7x"), -1);
    EXPECT_EQ(standardStreamOf("-.png"), -1);
}

TEST_F(OutputFile, ASignalRemovesTheTemporaryFileAndEndsTheProgram) {
    const std::string target = (dir / "x.png").string();
    EXPECT_EXIT(
        {
            removeTemporaryOnSignals();
            TemporaryFile file;
            if (file.create(target)) raise(SIGTERM);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(fileCount(), 0u);
}

}  // namespace
}  // namespace lumo
