// The child widget that shows the frame buffer and turns left-button drags into camera angles.
#pragma once

#include <QImage>
#include <QWidget>

#include "image/frame_buffer.h"

namespace lumo {

class RenderView : public QWidget {
    Q_OBJECT
public:
    explicit RenderView(QWidget* parent = nullptr);

    FrameBuffer& frameBuffer() { return frameBuffer_; }
    QSize sizeHint() const override { return {320, 240}; }

    // While a frame is produced the buffer must keep its size: a resize that arrives then (from the
    // nested event loop of a modal message) is applied when the frame has ended.
    void beginFrame() { frameInProgress_ = true; }
    void endFrame();

    // A minimised window has no client area: frames still run but cover no pixels. Restoring brings
    // back the widget's size.
    void setMinimised(bool minimised);

    // Shows the buffer now (the frame's present step).
    void present() { repaint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void reallocate(int w, int h);
    void reallocateForWidget();

    FrameBuffer frameBuffer_;
    QImage image_;  // wraps frameBuffer_.pixels: (width + 1) x (height + 1), row 0 the bottom line
    bool frameInProgress_ = false;
    bool resizePending_ = false;
    bool minimised_ = false;
};

}  // namespace lumo
