// The progress line lumo-render shows on a terminal while frames take long.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>

namespace lumo {

// While alive and enabled, and once the run has taken longer than a second, a thread redraws one line
// on `out` four times a second: a bar, frames done of total, time elapsed and an estimate of the time
// left. The line is erased when the progress ends.
class Progress {
public:
    Progress(std::ostream& out, int totalFrames, bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void frameDone();

    // "[#####.....]   3/10 frames  0:07 elapsed, about 0:16 left"
    static std::string line(int done, int total, double elapsedSeconds);

private:
    void run();

    std::ostream& out_;
    const int total_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int done_ = 0;
    bool stop_ = false;
    bool shown_ = false;
    std::thread thread_;
};

}  // namespace lumo
