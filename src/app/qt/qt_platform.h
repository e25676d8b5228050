// The platform seam for the desktop program: clock, title, status pane, message boxes and the window
// operations of the commands. Only tickCount() is called from the render thread. Made before the
// window (the program's state needs it first); until a window is attached, the window operations do
// nothing and the queries answer as for a normal window.
#pragma once

#include <QElapsedTimer>

#include "app/platform.h"

namespace lumo {

class MainFrame;

class QtPlatform : public Platform {
public:
    QtPlatform();
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

private:
    MainFrame* window_ = nullptr;
    QElapsedTimer clock_;
};

}  // namespace lumo
