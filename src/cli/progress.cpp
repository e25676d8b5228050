#include "cli/progress.h"

#include <algorithm>
#include <cstdio>

namespace lumo {

namespace {

using namespace std::chrono_literals;

constexpr int kBarWidth = 20;

std::string bar(int filled) {
    std::string text = "[";
    text.append(static_cast<size_t>(filled), '#');
    text.append(static_cast<size_t>(kBarWidth - filled), '.');
    text += "] ";
    return text;
}

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

ProgressStyle progressStyle(ProgressMode mode, bool terminal) {
    ProgressStyle style;
    style.terminal = terminal;
    switch (mode) {
        case ProgressMode::kAuto: style.enabled = terminal; break;
        case ProgressMode::kAlways:
            style.enabled = true;
            style.quietFor = 0ms;
            if (!terminal) style.redrawEvery = 1s;  // a log gets a line a second, not four
            break;
        case ProgressMode::kNever: style.enabled = false; break;
    }
    return style;
}

Progress::Progress(std::ostream& out, int totalFrames, const ProgressStyle& style, const char* unit)
    : out_(out), total_(totalFrames), unit_(unit), style_(style), start_(std::chrono::steady_clock::now()) {
    if (style_.enabled) thread_ = std::thread([this] { run(); });
}

Progress::Progress(std::ostream& out, const LoadProgress& load, const std::string& fileName, const ProgressStyle& style)
    : out_(out), total_(0), load_(&load), fileName_(fileName), style_(style), start_(std::chrono::steady_clock::now()) {
    if (style_.enabled) thread_ = std::thread([this] { run(); });
}

Progress::~Progress() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (!shown_) return;
    if (style_.terminal) {
        out_ << "\r\033[K" << std::flush;
    } else {
        show();  // the log's last line tells how the run ended
    }
}

void Progress::frameDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
}

std::string Progress::loadLine(double fraction, const std::string& fileName, double elapsedSeconds) {
    std::string text = bar(std::clamp(static_cast<int>(fraction * kBarWidth), 0, kBarWidth));
    text += "loading " + fileName + " " + std::to_string(static_cast<int>(fraction * 100.0)) + "%  ";
    text += clock(elapsedSeconds) + " elapsed";
    return text;
}

std::string Progress::line(int done, int total, double elapsedSeconds, const char* unit) {
    const int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * kBarWidth / total) : 0;
    std::string text = bar(filled);
    char counts[64];
    std::snprintf(counts, sizeof counts, "%d/%d %s  ", done, total, unit);
    text += counts + clock(elapsedSeconds) + " elapsed";
    if (done > 0 && done < total) text += ", about " + clock(elapsedSeconds / done * (total - done)) + " left";
    return text;
}

void Progress::show() {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string text = load_ ? loadLine(load_->fraction(), fileName_, elapsed) : line(done_, total_, elapsed, unit_);
    if (style_.terminal)
        out_ << "\rlumo-render: " << text << "\033[K" << std::flush;
    else
        out_ << "lumo-render: " << text << '\n' << std::flush;
    shown_ = true;
}

void Progress::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    // A progress due at once draws before it looks at stop_, so even the shortest run shows it.
    if (style_.quietFor.count() > 0 && wake_.wait_for(lock, style_.quietFor, [this] { return stop_; })) return;
    do {
        show();
    } while (!wake_.wait_for(lock, style_.redrawEvery, [this] { return stop_; }));
}

}  // namespace lumo
