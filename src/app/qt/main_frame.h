// The main window: menu bar built from the command table, the render view and the status bar.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <string>

#include "app/menu_bar.h"

class QAction;
class QLabel;
class QMenu;

namespace lumo {

class RenderView;

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(QWidget* parent = nullptr);

    RenderView& view() { return *view_; }
    QLabel& statusPane() { return *statusPane_; }
    QAction* action(int commandId) const;

    // Resizes the window so that the view's client area becomes w x h.
    void resizeViewTo(int w, int h);

    // One frame per idle moment of the event loop (a zero-interval timer).
    void startFrames() { frameTimer_.start(); }
    void stopFrames() { frameTimer_.stop(); }
    // One frame now. Ignored when called from inside a frame (a modal message's event loop).
    void runOneFrame();

    // Brings the check marks and enabled states of every item up to date.
    void refreshCommandStates();
    void showAboutBox();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void addItems(QMenu* menu, const std::vector<MenuItem>& items);
    void refreshMenu(QMenu* menu);
    void chooseCommand(int commandId);

    RenderView* view_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QTimer frameTimer_;
    std::map<int, QAction*> actions_;
    bool inFrame_ = false;
    QSize requestedViewSize_;  // valid while a resolution command is settling
    int resizeAttempts_ = 0;
};

}  // namespace lumo
