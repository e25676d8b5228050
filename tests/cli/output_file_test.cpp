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
