#include "app/render_loop.h"

#include <utility>

#include "app/file_scene.h"
#include "scene/demo_scenes.h"

namespace lumo {

RenderLoop::RenderLoop(Program& program, Wake wake, Produce produce, Clock clock)
    : program_(program), wake_(std::move(wake)), produce_(std::move(produce)), clock_(std::move(clock)) {
    if (!produce_) produce_ = [&program](FrameBuffer& fb, const PresentFrame& present) {
        return showNextFrame(program, fb, present);
    };
    if (!clock_) clock_ = [] { return std::chrono::steady_clock::now(); };
}

RenderLoop::~RenderLoop() { stop(); }

void RenderLoop::start() {
    std::lock_guard<std::mutex> lock(program_.mutex);
    if (handoff_.running) return;
    handoff_.running = true;
    handoff_.stop = false;
    WorkerWait& wait = program_.render.renderer.wait;
    previousTimeout_ = wait.onTimeout;
    if (previousTimeout_) wait.onTimeout = [this](int remaining) {
        askUi("Debug", "Time out, ThrCnt=" + std::to_string(remaining));
    };
    thread_ = std::thread([this] { run(); });
}

void RenderLoop::stop() {
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        if (!handoff_.running) return;
        handoff_.stop = true;
    }
    signal_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(program_.mutex);
    handoff_.running = false;
    handoff_.messageWaiting = false;
    if (previousTimeout_) program_.render.renderer.wait.onTimeout = previousTimeout_;
}

void RenderLoop::setViewSize(int width, int height) {
    edit([&] {
        handoff_.width = width;
        handoff_.height = height;
    });
}

void RenderLoop::setVisible(bool visible) {
    edit([&] { handoff_.visible = visible; });
}

bool RenderLoop::wantFrame() const {
    if (!handoff_.visible || handoff_.width <= 0 || handoff_.height <= 0) return false;
    if (handoff_.readyFresh) return false;  // the UI has not taken the last frame yet
    if (handoff_.changes != handoff_.changesSeen || handoff_.morePasses) return true;
    // Animation asks for frames only where something moves: a still scene waits for a change.
    const RenderSettings& s = program_.shared.settings;
    const Fly& fly = program_.shared.fly;
    return (s.animationOn != 0 && demoSceneMoves(s.sceneId)) || (fly.on && fly.keys != 0);
}

void RenderLoop::run() {
    std::unique_lock<std::mutex> lock(program_.mutex);
    for (;;) {
        signal_.wait(lock, [this] { return handoff_.stop || wantFrame(); });
        if (handoff_.stop) return;
        // Any change starts the still view's passes again, and so does a frame nothing owed a pass.
        const bool firstPass = handoff_.changes != handoff_.changesSeen || !handoff_.morePasses;
        handoff_.changesSeen = handoff_.changes;
        stepFly(program_.shared.orbit, program_.shared.fly, clock_());
        const int w = handoff_.width, h = handoff_.height;
        handoff_.inFlight = true;
        const RenderSettings& s = program_.shared.settings;
        handoff_.inFlightPhotons = s.causticsCalculate != 0 || s.giCalculate != 0;
        handoff_.inFlightSince = clock_();
        lock.unlock();

        if (back_.width != w || back_.height != h) back_.resize(w, h);
        StillRefinement& still = program_.render.still;
        still.pass = firstPass ? 1 : still.pass + 1;
        const FrameReport report = produce_(back_, [this](FrameBuffer& fb) { present(fb); });

        lock.lock();
        handoff_.inFlight = false;
        handoff_.morePasses = report.morePasses;
        handoff_.report = report;
        handoff_.reportFresh = true;
        wakeUi(lock);
    }
}

void RenderLoop::present(FrameBuffer& fb) {
    std::unique_lock<std::mutex> lock(program_.mutex);
    std::swap(fb, handoff_.ready);
    handoff_.readyFresh = true;
    ++handoff_.framesPresented;
    wakeUi(lock);
}

void RenderLoop::wakeUi(std::unique_lock<std::mutex>& lock) {
    if (handoff_.uiWoken) return;
    handoff_.uiWoken = true;
    lock.unlock();
    wake_();
    lock.lock();
}

void RenderLoop::askUi(const std::string& caption, const std::string& text) {
    std::unique_lock<std::mutex> lock(program_.mutex);
    if (handoff_.stop) return;
    handoff_.message = {caption, text};
    handoff_.messageWaiting = true;
    handoff_.messageCollected = false;
    wakeUi(lock);
    signal_.wait(lock, [this] { return handoff_.stop || !handoff_.messageWaiting; });
    handoff_.messageWaiting = false;
}

RenderLoop::News RenderLoop::collect(FrameBuffer& shown) {
    News news;
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        handoff_.uiWoken = false;
        if (handoff_.readyFresh) {
            std::swap(shown, handoff_.ready);
            handoff_.readyFresh = false;
            news.newFrame = true;
        }
        news.report = handoff_.report;
        news.newReport = handoff_.reportFresh;
        handoff_.reportFresh = false;
        if (handoff_.messageWaiting && !handoff_.messageCollected) {
            handoff_.messageCollected = true;
            news.hasMessage = true;
            news.message = handoff_.message;
        }
    }
    if (news.newFrame) signal_.notify_all();
    return news;
}

void RenderLoop::answerMessage() {
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        handoff_.messageWaiting = false;
    }
    signal_.notify_all();
}

std::optional<std::chrono::milliseconds> RenderLoop::frameInFlight(bool* photonPass) const {
    std::lock_guard<std::mutex> lock(program_.mutex);
    if (photonPass) *photonPass = handoff_.inFlightPhotons;
    if (!handoff_.inFlight) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - handoff_.inFlightSince);
}

bool RenderLoop::idle() const {
    std::lock_guard<std::mutex> lock(program_.mutex);
    return !handoff_.inFlight && !handoff_.readyFresh && !wantFrame();
}

uint64_t RenderLoop::framesPresented() const {
    std::lock_guard<std::mutex> lock(program_.mutex);
    return handoff_.framesPresented;
}

}  // namespace lumo
