// The render thread of the desktop program and its hand-off to the UI thread.
//
// The UI thread changes the program's shared state (settings, orbit) with the program's mutex held,
// through edit(); each frame copies what it needs at its start, so a change lands between two frames,
// never half-way through one. Finished frames come back through a slot the UI swaps with the buffer it
// shows. Frames run only while something can change: a change since the last frame, Animation on in
// a scene that moves, or passes owed to a still view, which refines until its frame says it is done;
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
#include "app/program.h"
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

    // Without `produce` the frames are the program's (showNextFrame); without `clock` the steady clock.
    RenderLoop(Program& program, Wake wake, Produce produce = {}, Clock clock = {});
    ~RenderLoop();
    RenderLoop(const RenderLoop&) = delete;
    RenderLoop& operator=(const RenderLoop&) = delete;

    // Starts the render thread; from now on the program's worker time-out message goes to the UI
    // thread through collect(), and the pass waits for its answer.
    void start();
    // Ends the render thread after the frame it is in (unblocking a message that waits for an answer).
    void stop();

    // UI thread. Runs f with the program's mutex held and asks for a frame with what it changed.
    template <class F>
    void edit(F&& f) {
        {
            std::lock_guard<std::mutex> lock(program_.mutex);
            f();
            ++handoff_.changes;
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
    bool wantFrame() const;  // the program's mutex held
    void present(FrameBuffer& fb);
    void wakeUi(std::unique_lock<std::mutex>& lock);
    void askUi(const std::string& caption, const std::string& text);

    Program& program_;
    // Set at construction, then only read.
    Wake wake_;
    Produce produce_;
    Clock clock_;
    std::condition_variable signal_;
    // The UI thread's: start() and stop().
    std::thread thread_;
    std::function<void(int)> previousTimeout_;

    // What the UI and the render thread hand each other: read and written with the program's mutex held.
    struct Handoff {
        bool running = false;
        bool stop = false;
        bool visible = true;
        int width = 0;
        int height = 0;
        uint64_t changes = 1;  // the first frame is owed
        uint64_t changesSeen = 0;
        FrameBuffer ready;  // presented, not yet collected when readyFresh
        bool readyFresh = false;
        FrameReport report;
        bool reportFresh = false;
        bool uiWoken = false;
        bool messageWaiting = false;  // posted, not yet answered
        bool messageCollected = false;
        Message message;
        bool inFlight = false;
        bool inFlightPhotons = false;
        bool morePasses = false;  // the last frame owes the still view another pass
        std::chrono::steady_clock::time_point inFlightSince;
        uint64_t framesPresented = 0;
    };
    Handoff handoff_;

    // The render thread's own: the buffer the next frame is drawn into.
    FrameBuffer back_;
};

}  // namespace lumo
