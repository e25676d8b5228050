// The progress line lumo-render shows while frames take long.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "scenefile/load_progress.h"

namespace lumo {

// --progress: auto shows the line on a terminal once the run has taken a while; always shows it from
// the start (on a terminal or in a log); never shows nothing.
enum class ProgressMode { kAuto, kAlways, kNever };

struct ProgressStyle {
    bool enabled = false;
    bool terminal = true;  // redraw one line in place and erase it at the end; else one line per update
    std::chrono::milliseconds quietFor{1000};  // nothing is shown before this much time has passed
    std::chrono::milliseconds redrawEvery{250};
};

// What a run shows with `mode` when its stream is (or is not) a terminal.
ProgressStyle progressStyle(ProgressMode mode, bool terminal);

// While alive and enabled, and once the run has taken longer than style.quietFor, a thread shows the
// line on `out` every style.redrawEvery: a bar, frames (or passes: `unit`) done of total, time elapsed
// and an estimate of the time left. On a terminal the line is redrawn in place and erased when the
// progress ends; in a log each update is a line of its own and the last one shows the end. A progress
// that is due at once (quietFor 0) shows at least one line, however short the run.
// Given a load instead of frames, the line shows how far the load has come.
class Progress {
public:
    Progress(std::ostream& out, int totalFrames, const ProgressStyle& style, const char* unit = "frames");
    Progress(std::ostream& out, const LoadProgress& load, const std::string& fileName, const ProgressStyle& style);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void frameDone();

    // "[##########..........] 5/10 frames  0:07 elapsed, about 0:07 left"
    static std::string line(int done, int total, double elapsedSeconds, const char* unit = "frames");
    // "[#########...........] loading ripple1m.json 45%  0:01 elapsed"
    static std::string loadLine(double fraction, const std::string& fileName, double elapsedSeconds);

private:
    void run();
    void show();  // mutex_ held

    std::ostream& out_;
    const int total_;
    const char* const unit_ = "frames";
    const LoadProgress* load_ = nullptr;
    const std::string fileName_;
    const ProgressStyle style_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int done_ = 0;
    bool stop_ = false;
    bool shown_ = false;
    std::thread thread_;
};

}  // namespace lumo
