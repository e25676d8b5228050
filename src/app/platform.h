// The seam between the application logic and a front end (Qt window, CLI, tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumo {

class Platform {
public:
    virtual ~Platform() = default;
    virtual uint32_t tickCount() = 0;                         // milliseconds
    virtual void setTitle(const std::string& title) = 0;     // main window title
    virtual void setStatusText(const std::string& text) = 0; // status bar pane 0
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;  // modal
    // Shows columns 1..width of rows 0..height-1 of a (width+1) x (height+1) bottom-up buffer.
    virtual void presentFrame(const uint32_t* pixels, int width, int height) = 0;
    // Window operations of the menu commands; front ends without a window ignore them.
    virtual void resizeView(int /*width*/, int /*height*/) {}  // make the view's client area this size
    virtual void showAbout() {}                                 // the modal About box
    virtual void requestQuit() {}                               // close the main window, end the program
    virtual void savePicture() {}                               // ask for a file and save the picture shown
    // Asks for a scene file to open (modal); empty when the user cancels.
    virtual std::string chooseSceneFile() { return {}; }
    // Runs f on the program's state between two frames (the program's mutex held) and asks for a frame.
    virtual void editProgram(const std::function<void()>& f) { f(); }
    // Runs `work` on a thread of its own, then `done` on the UI thread; until then the status bar shows
    // status(), refreshed now and then. Front ends without a window run both at once.
    virtual void runInBackground(std::function<void()> work, std::function<void()> done,
                                 std::function<std::string()> status) {
        (void)status;
        work();
        done();
    }
    virtual bool fullscreen() { return false; }
    virtual void setFullscreen(bool /*on*/) {}
    virtual double devicePixelRatio() { return 1.0; }  // device pixels per logical pixel of the view
};

// Remembers everything it is told: the platform of tests.
class RecordingPlatform : public Platform {
public:
    uint32_t tickCount() override;
    void setTitle(const std::string& title) override { this->title = title; }
    void setStatusText(const std::string& text) override { statusText = text; }
    void showMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + ": " + text);
    }
    void presentFrame(const uint32_t*, int width, int height) override {
        ++framesPresented;
        presentedWidth = width;
        presentedHeight = height;
    }
    void resizeView(int width, int height) override {
        viewWidth = width;
        viewHeight = height;
    }
    void showAbout() override { ++aboutShown; }
    void requestQuit() override { quitRequested = true; }
    void savePicture() override { ++picturesSaved; }
    std::string chooseSceneFile() override {
        ++sceneFilesAsked;
        return sceneFileAnswer;
    }
    bool fullscreen() override { return fullscreenOn; }
    void setFullscreen(bool on) override { fullscreenOn = on; }
    double devicePixelRatio() override { return pixelRatio; }
    // Runs the work at once, or with holdBackground keeps it in `background` for the test to run.
    void runInBackground(std::function<void()> work, std::function<void()> done,
                         std::function<std::string()> status) override {
        if (!holdBackground) return Platform::runInBackground(std::move(work), std::move(done), std::move(status));
        background.push_back({std::move(work), std::move(done), std::move(status)});
    }

    std::string title;
    std::string statusText;
    std::vector<std::string> messages;
    int framesPresented = 0;
    int presentedWidth = 0, presentedHeight = 0;
    int viewWidth = 0, viewHeight = 0;  // last resizeView request
    int aboutShown = 0;
    bool quitRequested = false;
    int picturesSaved = 0;
    int sceneFilesAsked = 0;
    std::string sceneFileAnswer;  // what chooseSceneFile() answers
    bool fullscreenOn = false;
    double pixelRatio = 1.0;
    struct BackgroundJob {
        std::function<void()> work, done;
        std::function<std::string()> status;
    };
    bool holdBackground = false;
    std::vector<BackgroundJob> background;
    // When set, tickCount() returns scriptedTick instead of the steady clock.
    bool scripted = false;
    uint32_t scriptedTick = 0;
};

}  // namespace lumo
