#include "app/qt/render_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/camera_drag.h"
#include "app/camera_orbit.h"
#include "app/program.h"
#include "app/render_loop.h"

namespace lumo {

namespace {
// A right-button drag zooms one step per this many pixels of vertical travel.
constexpr int kZoomDragPixels = 20;
// One wheel notch in fly mode changes the speed by this factor.
constexpr float kFlySpeedStep = 1.25f;
// A right-button press and release this close together are a click (the menus), not a drag.
constexpr int kClickPixels = 4;
}  // namespace

RenderView::RenderView(Program& program, RenderLoop& loop, QWidget* parent)
    : QWidget(parent), program_(program), loop_(loop) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMinimumSize(0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // the pointer at the screen's top edge shows the menus in fullscreen
    setContextMenuPolicy(Qt::PreventContextMenu);  // a right click is told from a zoom drag here
}

void RenderView::frameArrived() {
    const int rowPixels = shown_.width + 1;
    image_ = QImage(reinterpret_cast<uchar*>(shown_.pixels.data()), rowPixels, shown_.height + 1,
                    static_cast<qsizetype>(rowPixels) * 4, QImage::Format_RGB32);
    update();
}

QSize RenderView::traceSize() const {
    bool logical = false;
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        logical = program_.shared.settings.traceLogicalSize != 0;
    }
    if (logical) return size();
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio))};
}

void RenderView::updateTraceSize() {
    const QSize traced = traceSize();
    loop_.edit([&] {
        program_.shared.settings.viewWidth = width();
        program_.shared.settings.viewHeight = height();
    });
    loop_.setViewSize(traced.width(), traced.height());
    loop_.setVisible(windowShown_ && !minimised_);
}

void RenderView::setMinimised(bool minimised) {
    minimised_ = minimised;
    updateTraceSize();
}

void RenderView::setWindowShown(bool shown) {
    windowShown_ = shown;
    updateTraceSize();
}

void RenderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = shown_.width, h = shown_.height;
    if (w <= 0 || h <= 0 || image_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The buffer is bottom-up: flip y so that buffer row 0 lands on the widget's bottom line. The
    // frame fills the view; it has the view's size in device pixels except just after a resize.
    painter.setTransform(QTransform(1.0, 0.0, 0.0, -1.0, 0.0, height()));
    painter.drawImage(QRectF(0.0, 0.0, width(), height()), image_, QRectF(1.0, 0.0, w, h));
}

void RenderView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateTraceSize();
}

namespace {
// The fly-mode key a key event stands for, 0 for none.
unsigned flyKey(int key) {
    switch (key) {
        case Qt::Key_W: return Fly::kForward;
        case Qt::Key_S: return Fly::kBack;
        case Qt::Key_A: return Fly::kLeft;
        case Qt::Key_D: return Fly::kRight;
        case Qt::Key_Q: return Fly::kDown;
        case Qt::Key_E: return Fly::kUp;
        default: return 0;
    }
}
}  // namespace

void RenderView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        panFrom_ = p;
    } else if (event->button() == Qt::LeftButton) {
        loop_.edit([&] { beginDrag(program_.ui.drag, program_.shared.orbit, p.x(), p.y()); });
    }
    if (event->button() == Qt::RightButton) {
        zoomDragY_ = p.y();
        rightPressAt_ = p;
        zoomed_ = false;
    }
    QWidget::mousePressEvent(event);
}

void RenderView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    // The drag goes on until a left-button release reaches the view, as the window always had it.
    const DragState& drag = program_.ui.drag;
    if (panFrom_.x() >= 0 && (event->buttons() & (Qt::MiddleButton | Qt::LeftButton))) {
        const QPoint d = p - panFrom_;
        panFrom_ = p;
        loop_.edit([&] { panBy(program_.shared.orbit, d.x(), d.y(), width(), height()); });
    } else if (drag.dragging) {
        loop_.edit([&] {
            Orbit& o = program_.shared.orbit;
            if (!program_.shared.fly.on) {
                dragTo(drag, o, p.x(), p.y(), width(), height());
                return;
            }
            // Fly mode: the same drag turns the view about the eye instead of the eye about the centre.
            Orbit turned = o;
            dragTo(drag, turned, p.x(), p.y(), width(), height());
            const float elevation =
                drag.anchorElevation - static_cast<float>(drag.anchorY - p.y()) / static_cast<float>(std::max(1, height())) * 1.570796f;
            lookFromEye(o, turned.azimuth, elevation);
        });
    }
    if ((event->buttons() & Qt::RightButton) && zoomDragY_ >= 0) {
        // Upward zooms in, downward out.
        const int steps = (zoomDragY_ - p.y()) / kZoomDragPixels;
        if (steps != 0) {
            zoomDragY_ -= steps * kZoomDragPixels;
            zoomed_ = true;
            loop_.edit([&] { zoomBy(program_.shared, static_cast<float>(steps)); });
        }
    }
    emit pointerMoved(event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void RenderView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton) panFrom_ = {-1, -1};
    if (event->button() == Qt::LeftButton) loop_.edit([this] { endDrag(program_.ui.drag); });
    if (event->button() == Qt::RightButton) {
        zoomDragY_ = -1;
        // A click, not a drag: the pointer stayed within a few pixels and no zoom step was taken.
        if (!zoomed_ && (event->position().toPoint() - rightPressAt_).manhattanLength() <= kClickPixels)
            emit menuRequested(event->globalPosition().toPoint());
    }
    QWidget::mouseReleaseEvent(event);
}

void RenderView::wheelEvent(QWheelEvent* event) {
    // 120 units (15 degrees) make one notch, one zoom step (in fly mode, one speed step); touchpads
    // send smaller amounts.
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    if (steps != 0) {
        wheelRemainder_ -= steps * 120;
        loop_.edit([&] {
            Fly& fly = program_.shared.fly;
            if (fly.on)
                fly.speed = std::clamp(fly.speed * std::pow(kFlySpeedStep, static_cast<float>(steps)), 0.01f, 1000.0f);
            else
                zoomBy(program_.shared, static_cast<float>(steps));
        });
    }
    event->accept();
}

void RenderView::keyPressEvent(QKeyEvent* event) {
    const unsigned key = flyKey(event->key());
    if (!key || event->modifiers() & ~Qt::KeypadModifier) return QWidget::keyPressEvent(event);
    if (!event->isAutoRepeat()) loop_.edit([&] {
        if (program_.shared.fly.on) program_.shared.fly.keys |= key;
    });
    event->accept();
}

void RenderView::keyReleaseEvent(QKeyEvent* event) {
    const unsigned key = flyKey(event->key());
    if (!key) return QWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) loop_.edit([&] { program_.shared.fly.keys &= ~key; });
    event->accept();
}

void RenderView::focusOutEvent(QFocusEvent* event) {
    // A key released while another window has the focus never reaches the view: stop moving.
    loop_.edit([&] { program_.shared.fly.keys = 0; });
    QWidget::focusOutEvent(event);
}

}  // namespace lumo
