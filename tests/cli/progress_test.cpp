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

// A load's line shows its fraction, which never goes back; a log's last line shows where it ended.
TEST(Progress, ShowsHowFarALoadHasCome) {
    EXPECT_EQ(Progress::loadLine(0.456, "m.json", 61.0), "[#########...........] loading m.json 45%  1:01 elapsed");
    LoadProgress load;
    load.set(0.5);
    load.set(0.25);
    EXPECT_EQ(load.fraction(), 0.5);
    std::ostringstream text;
    {
        Progress p(text, load, "m.json", ProgressStyle{true, false, 0ms, std::chrono::hours(1)});
        load.set(1.0);
    }
    EXPECT_TRUE(std::regex_search(text.str(), std::regex("lumo-render: \\[#{20}\\] loading m.json 100%  \\d+:\\d\\d elapsed\n$")))
        << text.str();
}

}  // namespace
}  // namespace lumo
