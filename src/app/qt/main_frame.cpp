#include "app/qt/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "app/commands.h"
#include "app/frame_loop.h"
#include "app/qt/about_dialog.h"
#include "app/qt/render_view.h"

namespace lumo {

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Lumo");
    // The menu stays inside the window, so the window's size alone decides the view's size.
    menuBar()->setNativeMenuBar(false);
    for (const MenuItem& top : lumo::menuBar()) addItems(menuBar()->addMenu(top.text), top.items);

    view_ = new RenderView(this);
    setCentralWidget(view_);

    statusPane_ = new QLabel("Ready", this);
    statusBar()->addWidget(statusPane_, 1);

    frameTimer_.setInterval(0);
    connect(&frameTimer_, &QTimer::timeout, this, &MainFrame::runOneFrame);
    refreshCommandStates();
}

void MainFrame::addItems(QMenu* menu, const std::vector<MenuItem>& items) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { refreshMenu(menu); });
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItem::kSeparator:
                menu->addSeparator();
                break;
            case MenuItem::kSubmenu:
                addItems(menu->addMenu(item.text), item.items);
                break;
            case MenuItem::kCommand: {
                const Command* command = findCommand(item.commandId);
                QAction* action = menu->addAction(QString::fromUtf8(command->text));
                action->setMenuRole(QAction::NoRole);
                action->setCheckable(command->checked != nullptr);
                if (command->statusTip) action->setStatusTip(command->statusTip);
                action->setData(command->id);
                const int id = command->id;
                connect(action, &QAction::triggered, this, [this, id] { chooseCommand(id); });
                actions_[id] = action;
                break;
            }
        }
    }
}

QAction* MainFrame::action(int commandId) const {
    const auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void MainFrame::refreshMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu()) continue;
        const CommandState state = commandState(action->data().toInt());
        action->setChecked(state.checked);
        action->setEnabled(state.enabled);
    }
}

void MainFrame::refreshCommandStates() {
    for (const auto& [id, action] : actions_) {
        const CommandState state = commandState(id);
        action->setChecked(state.checked);
        action->setEnabled(state.enabled);
    }
}

void MainFrame::chooseCommand(int commandId) {
    executeCommand(commandId);
    // Qt flips a checkable item by itself; the command's own rule decides what it shows.
    refreshCommandStates();
}

void MainFrame::runOneFrame() {
    if (inFrame_) return;
    inFrame_ = true;
    view_->beginFrame();
    runFrame(view_->frameBuffer());
    view_->endFrame();
    inFrame_ = false;
}

void MainFrame::resizeViewTo(int w, int h) {
    if (isMaximized() || isFullScreen()) showNormal();
    requestedViewSize_ = QSize(w, h);
    resizeAttempts_ = 0;
    resize(size() + requestedViewSize_ - view_->size());
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The layout has placed the view by now. A menu bar that wraps differently at the new width
    // changes the space left for the view; correct for it a few times at most.
    if (!requestedViewSize_.isValid()) return;
    if (view_->size() == requestedViewSize_ || ++resizeAttempts_ > 3) {
        requestedViewSize_ = QSize();
        return;
    }
    resize(size() + requestedViewSize_ - view_->size());
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) view_->setMinimised(isMinimized());
}

void MainFrame::showAboutBox() {
    AboutDialog about(this);
    about.exec();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    frameTimer_.stop();
    event->accept();
}

}  // namespace lumo
