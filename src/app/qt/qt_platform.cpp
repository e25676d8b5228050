#include "app/qt/qt_platform.h"

#include <QLabel>
#include <QMessageBox>

#include "app/qt/main_frame.h"
#include "app/qt/render_view.h"

namespace lumo {

QtPlatform::QtPlatform(MainFrame& window) : window_(window) { clock_.start(); }

uint32_t QtPlatform::tickCount() { return static_cast<uint32_t>(clock_.elapsed()); }

void QtPlatform::setTitle(const std::string& title) { window_.setWindowTitle(QString::fromStdString(title)); }

void QtPlatform::setStatusText(const std::string& text) { window_.statusPane().setText(QString::fromStdString(text)); }

void QtPlatform::showMessage(const std::string& caption, const std::string& text) {
    // No owner window: application modal, like a message box of its own.
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

// Frames reach the view through the render loop.
void QtPlatform::presentFrame(const uint32_t*, int, int) {}

void QtPlatform::resizeView(int width, int height) { window_.resizeViewTo(width, height); }

void QtPlatform::showAbout() { window_.showAboutBox(); }

void QtPlatform::requestQuit() { window_.close(); }

void QtPlatform::savePicture() { window_.savePicture(); }

std::string QtPlatform::chooseSceneFile() { return window_.chooseSceneFile(); }

void QtPlatform::editProgram(const std::function<void()>& f) { window_.renderLoop().edit(f); }

bool QtPlatform::fullscreen() { return window_.fullscreen(); }

void QtPlatform::setFullscreen(bool on) { window_.setFullscreen(on); }

double QtPlatform::devicePixelRatio() { return window_.view().devicePixelRatioF(); }

}  // namespace lumo
