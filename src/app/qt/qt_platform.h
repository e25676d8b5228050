// The platform seam for the desktop program: clock, title, status pane, message boxes and the window
// operations of the commands. Only tickCount() is called from the render thread. Made before the
// window (the program's state needs it first); until a window is attached, the window operations do
// nothing and the queries answer as for a normal window.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <list>
#include <thread>

#include "app/platform.h"

namespace lumo {

class MainFrame;

class QtPlatform : public Platform {
public:
    QtPlatform();
    ~QtPlatform() override;  // waits for background work still running
    // The window the operations act on; null detaches it.
    void attach(MainFrame* window) { window_ = window; }

    uint32_t tickCount() override;
    void setTitle(const std::string& title) override;
    void setStatusText(const std::string& text) override;
    void showMessage(const std::string& caption, const std::string& text) override;
    void presentFrame(const uint32_t* pixels, int width, int height) override;
    void resizeView(int width, int height) override;
    void showAbout() override;
    void requestQuit() override;
    void savePicture() override;
    std::string chooseSceneFile() override;
    void editProgram(const std::function<void()>& f) override;
    bool fullscreen() override;
    void setFullscreen(bool on) override;
    double devicePixelRatio() override;
    // The work on a std::thread; `done` queued back to the UI thread; the status pane refreshed from
    // the latest status() every 100 ms while any work runs.
    void runInBackground(std::function<void()> work, std::function<void()> done,
                         std::function<std::string()> status) override;

private:
    MainFrame* window_ = nullptr;
    QElapsedTimer clock_;
    QObject receiver_;  // lives on the UI thread: background threads queue their `done` to it
    QTimer statusTimer_;
    std::function<std::string()> status_;
    std::list<std::thread> threads_;
};

}  // namespace lumo
