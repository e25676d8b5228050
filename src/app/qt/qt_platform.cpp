#include "app/qt/qt_platform.h"

#include <QLabel>
#include <QMessageBox>

#include "app/qt/main_frame.h"
#include "app/qt/render_view.h"

namespace lumo {

QtPlatform::QtPlatform() {
    clock_.start();
    QObject::connect(&statusTimer_, &QTimer::timeout, &receiver_, [this] {
        if (status_) setStatusText(status_());
    });
}

QtPlatform::~QtPlatform() {
    for (std::thread& t : threads_) t.join();
}

void QtPlatform::runInBackground(std::function<void()> work, std::function<void()> done,
                                 std::function<std::string()> status) {
    status_ = std::move(status);
    setStatusText(status_());
    statusTimer_.start(100);
    const auto thread = threads_.emplace(threads_.end());
    *thread = std::thread([this, thread, work = std::move(work), done = std::move(done)]() mutable {
        work();
        QMetaObject::invokeMethod(
            &receiver_,
            [this, thread, done = std::move(done)] {
                thread->join();
                threads_.erase(thread);
                if (threads_.empty()) {
                    statusTimer_.stop();
                    status_ = nullptr;
                }
                done();
                if (window_) window_->refreshCommandStates();  // the menus and panes follow a new scene
            },
            Qt::QueuedConnection);
    });
}

uint32_t QtPlatform::tickCount() { return static_cast<uint32_t>(clock_.elapsed()); }

void QtPlatform::setTitle(const std::string& title) {
    if (window_) window_->setWindowTitle(QString::fromStdString(title));
}

void QtPlatform::setStatusText(const std::string& text) {
    if (window_) window_->setPaneText(&window_->statusPane(), QString::fromStdString(text));
}

void QtPlatform::showMessage(const std::string& caption, const std::string& text) {
    // No owner window: application modal, like a message box of its own.
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

// Frames reach the view through the render loop.
void QtPlatform::presentFrame(const uint32_t*, int, int) {}

void QtPlatform::resizeView(int width, int height) {
    if (window_) window_->resizeViewTo(width, height);
}

void QtPlatform::showAbout() {
    if (window_) window_->showAboutBox();
}

void QtPlatform::requestQuit() {
    if (window_) window_->close();
}

void QtPlatform::savePicture() {
    if (window_) window_->savePicture();
}

std::string QtPlatform::chooseSceneFile() { return window_ ? window_->chooseSceneFile() : std::string(); }

void QtPlatform::editProgram(const std::function<void()>& f) {
    if (window_) {
        window_->renderLoop().edit(f);
    } else {
        f();  // no window, no render thread
    }
}

bool QtPlatform::fullscreen() { return window_ && window_->fullscreen(); }

void QtPlatform::setFullscreen(bool on) {
    if (window_) window_->setFullscreen(on);
}

double QtPlatform::devicePixelRatio() { return window_ ? window_->view().devicePixelRatioF() : 1.0; }

}  // namespace lumo
