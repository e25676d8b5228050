#include "cli/progress.h"

#include <cstdio>

namespace lumo {

namespace {

using namespace std::chrono_literals;

constexpr auto kQuietFor = 1s;
constexpr auto kRedrawEvery = 250ms;
constexpr int kBarWidth = 20;

std::string clock(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

Progress::Progress(std::ostream& out, int totalFrames, bool enabled)
    : out_(out), total_(totalFrames), start_(std::chrono::steady_clock::now()) {
    if (enabled) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (shown_) out_ << "\r\033[K" << std::flush;
}

void Progress::frameDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
}

std::string Progress::line(int done, int total, double elapsedSeconds) {
    const int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * kBarWidth / total) : 0;
    std::string text = "[";
    text.append(static_cast<size_t>(filled), '#');
    text.append(static_cast<size_t>(kBarWidth - filled), '.');
    text += "] ";
    char counts[64];
    std::snprintf(counts, sizeof counts, "%d/%d frames  ", done, total);
    text += counts + clock(elapsedSeconds) + " elapsed";
    if (done > 0 && done < total) text += ", about " + clock(elapsedSeconds / done * (total - done)) + " left";
    return text;
}

void Progress::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kQuietFor, [this] { return stop_; })) return;
    do {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        out_ << "\rlumo-render: " << line(done_, total_, elapsed) << "\033[K" << std::flush;
        shown_ = true;
    } while (!wake_.wait_for(lock, kRedrawEvery, [this] { return stop_; }));
}

}  // namespace lumo
