#include "app/render_loop.h"

#include <utility>

#include "app/program.h"

namespace lumo {

RenderLoop::RenderLoop(Wake wake, Produce produce, Clock clock)
    : wake_(std::move(wake)), produce_(std::move(produce)), clock_(std::move(clock)) {
    if (!produce_) produce_ = [](FrameBuffer& fb, const PresentFrame& present) { return runFrame(fb, present); };
    if (!clock_) clock_ = [] { return std::chrono::steady_clock::now(); };
}

RenderLoop::~RenderLoop() { stop(); }

void RenderLoop::start() {
    std::lock_guard<std::mutex> lock(programMutex());
    if (running_) return;
    running_ = true;
    stop_ = false;
    WorkerWait& wait = program().renderer.wait;
    previousTimeout_ = wait.onTimeout;
    if (previousTimeout_) wait.onTimeout = [this](int remaining) {
        askUi("Debug", "Time out, ThrCnt=" + std::to_string(remaining));
    };
    thread_ = std::thread([this] { run(); });
}

void RenderLoop::stop() {
    {
        std::lock_guard<std::mutex> lock(programMutex());
        if (!running_) return;
        stop_ = true;
    }
    signal_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(programMutex());
    running_ = false;
    messageWaiting_ = false;
    if (previousTimeout_) program().renderer.wait.onTimeout = previousTimeout_;
}

void RenderLoop::setViewSize(int width, int height) {
    edit([&] {
        width_ = width;
        height_ = height;
    });
}

void RenderLoop::setVisible(bool visible) {
    edit([&] { visible_ = visible; });
}

bool RenderLoop::wantFrame() const {
    if (!visible_ || width_ <= 0 || height_ <= 0) return false;
    if (readyFresh_) return false;  // the UI has not taken the last frame yet
    return changes_ != changesSeen_ || settings().animationOn != 0;
}

void RenderLoop::run() {
    std::unique_lock<std::mutex> lock(programMutex());
    for (;;) {
        signal_.wait(lock, [this] { return stop_ || wantFrame(); });
        if (stop_) return;
        changesSeen_ = changes_;
        const int w = width_, h = height_;
        inFlight_ = true;
        inFlightPhotons_ = settings().causticsCalculate != 0 || settings().giCalculate != 0;
        inFlightSince_ = clock_();
        lock.unlock();

        if (back_.width != w || back_.height != h) back_.resize(w, h);
        const FrameReport report = produce_(back_, [this](FrameBuffer& fb) { present(fb); });

        lock.lock();
        inFlight_ = false;
        report_ = report;
        reportFresh_ = true;
        wakeUi(lock);
    }
}

void RenderLoop::present(FrameBuffer& fb) {
    std::unique_lock<std::mutex> lock(programMutex());
    std::swap(fb, ready_);
    readyFresh_ = true;
    ++framesPresented_;
    wakeUi(lock);
}

void RenderLoop::wakeUi(std::unique_lock<std::mutex>& lock) {
    if (uiWoken_) return;
    uiWoken_ = true;
    lock.unlock();
    wake_();
    lock.lock();
}

void RenderLoop::askUi(const std::string& caption, const std::string& text) {
    std::unique_lock<std::mutex> lock(programMutex());
    if (stop_) return;
    message_ = {caption, text};
    messageWaiting_ = true;
    messageCollected_ = false;
    wakeUi(lock);
    signal_.wait(lock, [this] { return stop_ || !messageWaiting_; });
    messageWaiting_ = false;
}

RenderLoop::News RenderLoop::collect(FrameBuffer& shown) {
    News news;
    {
        std::lock_guard<std::mutex> lock(programMutex());
        uiWoken_ = false;
        if (readyFresh_) {
            std::swap(shown, ready_);
            readyFresh_ = false;
            news.newFrame = true;
        }
        news.report = report_;
        news.newReport = reportFresh_;
        reportFresh_ = false;
        if (messageWaiting_ && !messageCollected_) {
            messageCollected_ = true;
            news.hasMessage = true;
            news.message = message_;
        }
    }
    if (news.newFrame) signal_.notify_all();
    return news;
}

void RenderLoop::answerMessage() {
    {
        std::lock_guard<std::mutex> lock(programMutex());
        messageWaiting_ = false;
    }
    signal_.notify_all();
}

std::optional<std::chrono::milliseconds> RenderLoop::frameInFlight(bool* photonPass) const {
    std::lock_guard<std::mutex> lock(programMutex());
    if (photonPass) *photonPass = inFlightPhotons_;
    if (!inFlight_) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - inFlightSince_);
}

bool RenderLoop::idle() const {
    std::lock_guard<std::mutex> lock(programMutex());
    return !inFlight_ && !readyFresh_ && !wantFrame();
}

uint64_t RenderLoop::framesPresented() const {
    std::lock_guard<std::mutex> lock(programMutex());
    return framesPresented_;
}

}  // namespace lumo
