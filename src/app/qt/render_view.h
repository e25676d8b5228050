// The child widget that shows the newest frame and turns mouse input into camera moves.
#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>

#include "image/frame_buffer.h"

namespace lumo {

class RenderLoop;
struct Program;

class RenderView : public QWidget {
    Q_OBJECT
public:
    RenderView(Program& program, RenderLoop& loop, QWidget* parent = nullptr);

    // The frame on show (the render loop swaps new ones into it): (width + 1) x (height + 1)
    // bottom-up pixels at the traced size.
    FrameBuffer& shownFrame() { return shown_; }
    // A new frame has been swapped into shownFrame(): show it.
    void frameArrived();

    QSize sizeHint() const override { return {640, 480}; }

    // The size frames are traced at: the view's size in device pixels, or in logical pixels when
    // tracing at logical size is chosen.
    QSize traceSize() const;
    // Tells the render loop the view's logical and traced size and whether it can be seen.
    void updateTraceSize();
    // A minimised or hidden window shows nothing, so it asks for no frames.
    void setMinimised(bool minimised);
    void setWindowShown(bool shown);

signals:
    // A right click (no zoom drag) at a point on the screen: the window opens its menus there.
    void menuRequested(const QPoint& globalPosition);
    // The pointer moved over the view, buttons or not (at a point on the screen).
    void pointerMoved(const QPoint& globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Program& program_;
    RenderLoop& loop_;
    FrameBuffer shown_;
    QImage image_;  // wraps shown_.pixels: (width + 1) x (height + 1), row 0 the bottom line
    bool minimised_ = false;
    bool windowShown_ = false;
    int zoomDragY_ = -1;     // right-button drag: the y of the last zoom step, -1 when none
    QPoint rightPressAt_;    // where the right button went down
    QPoint panFrom_{-1, -1};  // middle or Shift+left drag: the last point, (-1, -1) when none
    bool zoomed_ = false;    // the right-button drag zoomed: its release opens no menu
    int wheelRemainder_ = 0;  // wheel angle not yet turned into whole steps (1/8 degree units)
};

}  // namespace lumo
