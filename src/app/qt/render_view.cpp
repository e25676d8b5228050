#include "app/qt/render_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/camera_drag.h"

namespace lumo {

RenderView::RenderView(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the buffer: no background fill, no system background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMinimumSize(0, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    reallocate(320, 240);
}

void RenderView::reallocate(int w, int h) {
    frameBuffer_.resize(w, h);
    const int rowPixels = frameBuffer_.width + 1;
    image_ = QImage(reinterpret_cast<uchar*>(frameBuffer_.pixels.data()), rowPixels, frameBuffer_.height + 1,
                    static_cast<qsizetype>(rowPixels) * 4, QImage::Format_RGB32);
}

void RenderView::reallocateForWidget() {
    if (frameInProgress_) {
        resizePending_ = true;
        return;
    }
    if (minimised_) {
        reallocate(0, 0);
    } else {
        reallocate(width(), height());
    }
}

void RenderView::setMinimised(bool minimised) {
    if (minimised == minimised_) return;
    minimised_ = minimised;
    reallocateForWidget();
}

void RenderView::endFrame() {
    frameInProgress_ = false;
    if (resizePending_) {
        resizePending_ = false;
        reallocateForWidget();
    }
}

void RenderView::paintEvent(QPaintEvent*) {
    const int w = frameBuffer_.width;
    const int h = frameBuffer_.height;
    if (w <= 0 || h <= 0) return;
    QPainter painter(this);
    // The buffer is bottom-up: flip y so that buffer row 0 lands on the widget's bottom line.
    painter.setTransform(QTransform(1.0, 0.0, 0.0, -1.0, 0.0, h));
    painter.drawImage(QPointF(0.0, 0.0), image_, QRectF(1.0, 0.0, w, h));
}

void RenderView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    reallocateForWidget();
}

void RenderView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        beginDrag(p.x(), p.y());
    }
    QWidget::mousePressEvent(event);
}

void RenderView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    dragTo(p.x(), p.y(), frameBuffer_.width, frameBuffer_.height);
    QWidget::mouseMoveEvent(event);
}

void RenderView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) endDrag();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace lumo
