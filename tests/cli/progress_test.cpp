#include "cli/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace lumo {
namespace {

using namespace std::chrono_literals;

TEST(Progress, ModesChooseWhereAndWhenTheLineShows) {
    const ProgressStyle autoTty = progressStyle(ProgressMode::kAuto, true);
    EXPECT_TRUE(autoTty.enabled);
    EXPECT_EQ(autoTty.quietFor, 1000ms);
    EXPECT_FALSE(progressStyle(ProgressMode::kAuto, false).enabled);
    const ProgressStyle alwaysLog = progressStyle(ProgressMode::kAlways, false);
    EXPECT_TRUE(alwaysLog.enabled);
    EXPECT_FALSE(alwaysLog.terminal);
    EXPECT_EQ(alwaysLog.quietFor, 0ms);
    EXPECT_EQ(progressStyle(ProgressMode::kAlways, true).quietFor, 0ms);
    EXPECT_FALSE(progressStyle(ProgressMode::kNever, true).enabled);
}

// The quiet time is an input: a run that ends inside it shows nothing, one due at once shows its line
// however short it is, redrawn in place on a terminal and ending with the last count in a log.
TEST(Progress, ShowsNothingInsideTheQuietTimeAndAtLeastOneLineWhenDueAtOnce) {
    ProgressStyle quiet{true, true, std::chrono::hours(1), 250ms};
    std::ostringstream none;
    { Progress p(none, 4, quiet); p.frameDone(); }
    EXPECT_EQ(none.str(), "");

    ProgressStyle terminal{true, true, 0ms, std::chrono::hours(1)};
    std::ostringstream tty;
    { Progress p(tty, 4, terminal); }
    // Drawn in place, then erased at the end.
    EXPECT_TRUE(std::regex_match(tty.str(), std::regex("\rlumo-render: \\[\\.{20}\\] 0/4 frames  \\d+:\\d\\d elapsed\033\\[K\r\033\\[K")))
        << tty.str();

    ProgressStyle log{true, false, 0ms, std::chrono::hours(1)};
    std::ostringstream text;
    {
        Progress p(text, 2, log);
        p.frameDone();
        p.frameDone();
    }
    // One line when due, one at the end.
    const std::string s = text.str();
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 2) << s;
    EXPECT_EQ(s.find('\033'), std::string::npos);
    EXPECT_TRUE(std::regex_search(s, std::regex("lumo-render: \\[#{20}\\] 2/2 frames  \\d+:\\d\\d elapsed\n$"))) << s;
}

}  // namespace
}  // namespace lumo
