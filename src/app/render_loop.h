// The render thread of the desktop program and its hand-off to the UI thread.
//
// The UI thread changes the program's state (settings, orbit) with programMutex() held, through
// edit(); each frame copies what it needs at its start, so a change lands between two frames, never
// half-way through one. Finished frames come back through a slot the UI swaps with the buffer it
// shows. Frames run only while something can change: a change since the last frame, or Animation on;
// never while the view is hidden or empty, and never more than one frame ahead of the UI.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/frame_loop.h"
#include "app/settings.h"
#include "image/frame_buffer.h"

namespace lumo {

class RenderLoop {
public:
    // Called on the render thread when something waits for the UI thread (a frame, a report, a
    // message); the front end forwards it to its UI thread, which then calls collect(). Calls are
    // coalesced until the next collect().
    using Wake = std::function<void()>;
    // Produces one frame into fb and hands it over with present(fb) (which swaps fb's storage).
    using Produce = std::function<FrameReport(FrameBuffer& fb, const PresentFrame& present)>;

    // The clock frameInFlight() reads; tests script it.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Without `produce` the frames are the program's (runFrame); without `clock` the steady clock.
    explicit RenderLoop(Wake wake, Produce produce = {}, Clock clock = {});
    ~RenderLoop();
    RenderLoop(const RenderLoop&) = delete;
    RenderLoop& operator=(const RenderLoop&) = delete;

    // Starts the render thread; from now on the program's worker time-out message goes to the UI
    // thread through collect(), and the pass waits for its answer.
    void start();
    // Ends the render thread after the frame it is in (unblocking a message that waits for an answer).
    void stop();

    // UI thread. Runs f with programMutex() held and asks for a frame with what it changed.
    template <class F>
    void edit(F&& f) {
        {
            std::lock_guard<std::mutex> lock(programMutex());
            f();
            ++changes_;
        }
        signal_.notify_all();
    }
    // The size frames are traced at, in device pixels.
    void setViewSize(int width, int height);
    // A hidden or minimised window asks for no frames.
    void setVisible(bool visible);

    struct Message {
        std::string caption;
        std::string text;
    };
    struct News {
        bool newFrame = false;    // `shown` now holds the newest frame
        bool newReport = false;   // report is new since the last collect()
        FrameReport report;       // of the newest frame
        bool hasMessage = false;  // message waits for answerMessage()
        Message message;
    };
    // Takes what the render thread has handed over: swaps a new frame into shown (giving the render
    // thread shown's old storage to draw into).
    News collect(FrameBuffer& shown);
    // The message from collect() has been shown: the pass that asked goes on.
    void answerMessage();

    // How long the frame now rendering has been at it (nothing when none is), and whether it runs a
    // photon pass: for a progress indication.
    std::optional<std::chrono::milliseconds> frameInFlight(bool* photonPass = nullptr) const;
    uint64_t framesPresented() const;
    // No frame under way, none waiting for the UI and none owed: the render thread sleeps until
    // something changes.
    bool idle() const;

private:
    void run();
    bool wantFrame() const;  // programMutex() held
    void present(FrameBuffer& fb);
    void wakeUi(std::unique_lock<std::mutex>& lock);
    void askUi(const std::string& caption, const std::string& text);

    Wake wake_;
    Produce produce_;
    Clock clock_;
    std::thread thread_;
    std::condition_variable signal_;
    std::function<void(int)> previousTimeout_;

    // Guarded by programMutex().
    bool running_ = false;
    bool stop_ = false;
    bool visible_ = true;
    int width_ = 0;
    int height_ = 0;
    uint64_t changes_ = 1;  // the first frame is owed
    uint64_t changesSeen_ = 0;
    FrameBuffer ready_;     // presented, not yet collected when readyFresh_
    bool readyFresh_ = false;
    FrameReport report_;
    bool reportFresh_ = false;
    bool uiWoken_ = false;
    bool messageWaiting_ = false;  // posted, not yet answered
    bool messageCollected_ = false;
    Message message_;
    bool inFlight_ = false;
    bool inFlightPhotons_ = false;
    std::chrono::steady_clock::time_point inFlightSince_;
    uint64_t framesPresented_ = 0;

    FrameBuffer back_;  // render thread only
};

}  // namespace lumo
