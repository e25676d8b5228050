#include "app/qt/main_frame.h"

#include <QAction>
#include <QCursor>
#include <QActionGroup>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QStatusBar>
#include <QWindow>

#include "app/commands.h"
#include "app/file_scene.h"
#include "app/frame_timer.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/qt/about_dialog.h"
#include "app/qt/app_icon.h"
#include "app/qt/render_view.h"
#include "png/png_writer.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {

// A frame that takes longer than this gets a progress indication.
constexpr int kProgressAfterMs = 300;
// In fullscreen, the pointer this close to the top shows the menu bar.
constexpr int kTopEdgePixels = 2;

// Room on either side of a pane's text, so that no text touches its neighbour or the window's edge.
constexpr int kPaneMargin = 3;

QLabel* addPane(QStatusBar* bar, const QString& text, int stretch = 0) {
    auto* pane = new QLabel(text, bar);
    pane->setContentsMargins(kPaneMargin, 0, kPaneMargin, 0);
    pane->setProperty("fullText", text);
    // The panes are fitted to the bar by hand (fitStatusPanes): the layout must never widen the bar.
    pane->setMinimumWidth(1);
    bar->addWidget(pane, stretch);
    return pane;
}

}  // namespace

MainFrame::MainFrame(Program& program, RenderLoop::Produce produce, RenderLoop::Clock clock, QWidget* parent)
    : QMainWindow(parent),
      program_(program),
      loop_(program, [this] { QMetaObject::invokeMethod(this, &MainFrame::takeNews, Qt::QueuedConnection); },
            std::move(produce), std::move(clock)) {
    setWindowTitle("Lumo");
    setWindowIcon(applicationIcon());
    // The menu stays inside the window, so the window's size alone decides the view's size.
    menuBar()->setNativeMenuBar(false);
    for (const MenuItem& top : lumo::menuBar()) addItems(menuBar()->addMenu(top.text), top.items);

    view_ = new RenderView(program, loop_, this);
    setCentralWidget(view_);
    view_->setFocus();

    contextMenu_ = new QMenu(this);
    for (QAction* top : menuBar()->actions()) {
        contextMenu_->addAction(top);
        // The menu's access key, for when the bar is hidden in fullscreen: shows the bar and opens it.
        const QKeySequence key = QKeySequence::mnemonic(top->text());
        if (key.isEmpty()) continue;
        auto* shortcut = new QShortcut(key, this);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, this, [this, top] { openMenuInFullscreen(top); });
        fullscreenMenuKeys_.push_back(shortcut);
    }
    connect(view_, &RenderView::menuRequested, this, [this](const QPoint& at) { contextMenu_->popup(at); });
    connect(view_, &RenderView::pointerMoved, this, &MainFrame::pointerAt);
    // Leaving a menu opened from the hidden bar hides the bar again.
    connect(menuBar(), &QMenuBar::hovered, this, [this] { pointerAt(QCursor::pos()); });

    QStatusBar* bar = statusBar();
    fpsPane_ = addPane(bar, "Ready", 1);
    scenePane_ = addPane(bar, "");
    sizePane_ = addPane(bar, "");
    threadsPane_ = addPane(bar, "");
    raysPane_ = addPane(bar, "");
    photonsPane_ = addPane(bar, "");
    progress_ = new QProgressBar(bar);
    progress_->setRange(0, 0);  // busy: the passes report no fraction done
    progress_->setMaximumWidth(120);
    progress_->setTextVisible(false);
    bar->addWidget(progress_);
    progress_->hide();
    photonsPane_->hide();
    bar->installEventFilter(this);  // its resizes refit the panes

    // Escape leaves fullscreen; it does nothing otherwise.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (fullscreen_) setFullscreen(false);
    });

    setAcceptDrops(true);  // a scene or mesh file dropped anywhere on the window opens

    progressTimer_.setSingleShot(true);
    progressTimer_.setInterval(kProgressAfterMs);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { watchProgress(true); });
    refreshCommandStates();
}

MainFrame::~MainFrame() { loop_.stop(); }

void MainFrame::refreshRecentMenu() {
    recentMenu_->clear();
    const std::vector<std::string>& recent = program_.ui.recentScenes;
    for (size_t i = 0; i < recent.size(); ++i) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(recent[i]));
        // "&1 knot.obj": the digit is the access key; the folder shows in the status bar.
        QAction* action = recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setStatusTip(path);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    recentMenu_->setEnabled(!recent.empty());
}

void MainFrame::openFile(const QString& path) {
    openSceneFile(program_, QFile::encodeName(path).toStdString());
    sceneFolder_ = QFileInfo(path).absolutePath();
    refreshCommandStates();
    watchProgress();
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    // Opened after the drop has ended, so a message box about the file does not hold the source's drag.
    const QString path = urls.first().toLocalFile();
    QTimer::singleShot(0, this, [this, path] { openFile(path); });
}

void MainFrame::addItems(QMenu* menu, const std::vector<MenuItem>& items) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { refreshMenu(menu); });
    // The menu's exclusive choices show as radio items; none is marked when the setting matches none
    // (a scene from a file, a thread count from the command line).
    QActionGroup* group = nullptr;
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItem::kSeparator:
                menu->addSeparator();
                break;
            case MenuItem::kSubmenu:
                addItems(menu->addMenu(item.text), item.items);
                break;
            case MenuItem::kRecentFiles:
                recentMenu_ = menu->addMenu(item.text);
                connect(menu, &QMenu::aboutToShow, this, &MainFrame::refreshRecentMenu);
                break;
            case MenuItem::kCommand: {
                const Command* command = findCommand(item.commandId);
                QAction* action = menu->addAction(QString::fromUtf8(command->text));
                action->setMenuRole(QAction::NoRole);
                action->setCheckable(command->checked != nullptr);
                if (command->statusTip) action->setStatusTip(command->statusTip);
                if (command->shortcut) {
                    action->setShortcuts(QKeySequence::listFromString(command->shortcut, QKeySequence::PortableText));
                    // Also on the window, so the keys work while the menu bar is hidden (fullscreen).
                    addAction(action);
                }
                action->setData(command->id);
                if (item.group) {
                    if (!group) {
                        group = new QActionGroup(menu);
                        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
                    }
                    group->addAction(action);
                }
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
    std::lock_guard<std::mutex> lock(program_.mutex);
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu()) continue;
        const CommandState state = commandState(program_, action->data().toInt());
        action->setChecked(state.checked);
        action->setEnabled(state.enabled);
    }
}

void MainFrame::refreshCommandStates() {
    QString sceneName;
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        for (const auto& [id, action] : actions_) {
            const CommandState state = commandState(program_, id);
            action->setChecked(state.checked);
            action->setEnabled(state.enabled);
        }
        sceneName = QString::fromStdString(currentDescriptor(program_.shared).menuName);
    }
    setPaneText(scenePane_, sceneName);
    refreshRecentMenu();
}

void MainFrame::chooseCommand(int commandId) {
    const Command* command = findCommand(commandId);
    if (!command) return;
    if (command->window) {
        executeCommand(program_, commandId);
    } else {
        loop_.edit([this, commandId] { executeCommand(program_, commandId); });
        watchProgress();
    }
    // Qt flips a checkable item by itself; the command's own rule decides what it shows.
    refreshCommandStates();
    if (commandId == kCmdTraceLogicalSize) view_->updateTraceSize();
}

void MainFrame::takeNews() {
    const RenderLoop::News news = loop_.collect(view_->shownFrame());
    if (news.newFrame) {
        ++framesShown_;
        view_->frameArrived();
    }
    if (news.newReport) showReport(news.report);
    if (news.hasMessage && !showingMessage_) {
        // The pass that timed out waits for the box to close; the window stays responsive meanwhile.
        showingMessage_ = true;
        program_.platform.showMessage(news.message.caption, news.message.text);
        showingMessage_ = false;
        loop_.answerMessage();
    }
    watchProgress();
}

void MainFrame::showReport(const FrameReport& report) {
    if (report.measured) {
        fpsPane_->setProperty("fullText", QString::fromStdString(formatFps(report.fps, report.atLeast)));
        raysPane_->setProperty("fullText", QString::fromStdString(formatRays(report.raysPerSecond, report.atLeast)));
    }
    // A still view's passes show in the frame rate's place.
    if (const std::string pass = passText(report); !pass.empty()) fpsPane_->setProperty("fullText", QString::fromStdString(pass));
    sizePane_->setProperty("fullText", QString("%1x%2").arg(report.width).arg(report.height));
    threadsPane_->setProperty("fullText",
                              report.threads == 1 ? QString("1 thread") : QString("%1 threads").arg(report.threads));
    photonsShown_ = report.photons >= 0;
    if (report.photons >= 0) {
        bool gi = false;
        {
            std::lock_guard<std::mutex> lock(program_.mutex);
            gi = currentDescriptor(program_.shared).offersGi;
        }
        const QString map = gi ? "GI" : "Caustics";
        photonsPane_->setProperty("fullText", QString("%1: %2 photons").arg(map, QLocale(QLocale::English).toString(static_cast<qlonglong>(report.photons))));
    }
    fitStatusPanes();
}

void MainFrame::setPaneText(QLabel* pane, const QString& text) {
    pane->setProperty("fullText", text);
    fitStatusPanes();
}

void MainFrame::fitStatusPanes() {
    QStatusBar* bar = statusBar();
    QLabel* const panes[] = {fpsPane_, scenePane_, raysPane_, sizePane_, threadsPane_, photonsPane_};
    // Whether the bar's layout gives every pane on show the room its text needs, inside the bar.
    auto fits = [&] {
        if (bar->layout()) bar->layout()->activate();
        for (QLabel* pane : panes)
            if (!pane->isHidden() && (pane->width() < pane->sizeHint().width() || pane->geometry().right() >= bar->width()))
                return false;
        return true;
    };
    for (QLabel* pane : panes) {
        const QString full = pane->property("fullText").toString();
        pane->setText(full);
        pane->setVisible(!full.isEmpty() && (pane != photonsPane_ || photonsShown_));
    }
    // The least important go first; then the scene's name and the rate are shortened, then dropped.
    for (QLabel* pane : {photonsPane_, threadsPane_, sizePane_, raysPane_})
        if (!fits()) pane->hide();
    const QFontMetrics metrics(fpsPane_->font());
    for (QLabel* pane : {scenePane_, fpsPane_}) {
        for (int attempt = 0; attempt < 4 && !pane->isHidden() && !fits(); ++attempt) {
            int short_ = 0;  // pixels the panes on show lack
            for (QLabel* p : panes)
                if (!p->isHidden()) short_ += std::max(0, p->sizeHint().width() - p->width());
            short_ = std::max(short_, pane->geometry().right() - bar->width() + 1);
            const int room = metrics.horizontalAdvance(pane->text()) - std::max(short_, 1);
            const QString elided = metrics.elidedText(pane->property("fullText").toString(), Qt::ElideRight, room);
            if (room < 3 * metrics.averageCharWidth() || elided.isEmpty())
                pane->hide();
            else
                pane->setText(elided);
        }
        if (!fits()) pane->hide();
    }
}

void MainFrame::watchProgress(bool fromTimer) {
    bool photons = false;
    const std::optional<std::chrono::milliseconds> inFlight = loop_.frameInFlight(&photons);
    const bool wasShown = progress_->isVisible();
    if (inFlight && inFlight->count() >= kProgressAfterMs) {
        progress_->setToolTip(photons ? "Computing the photon maps and rendering" : "Rendering");
        progress_->show();
    } else {
        progress_->hide();
    }
    if (progress_->isVisible() != wasShown) fitStatusPanes();
    // Look again while a frame is on its way; after a change or a frame, look once more in case the
    // next frame is a long one. Idle, the timer stops.
    if (inFlight || !fromTimer) progressTimer_.start();
}

void MainFrame::resizeViewTo(int w, int h) {
    if (fullscreen_) setFullscreen(false);
    if (isMaximized()) showNormal();
    requestedViewSize_ = QSize(w, h);
    resizeAttempts_ = 0;
    resize(size() + requestedViewSize_ - view_->size());
}

void MainFrame::setFullscreen(bool on) {
    // Our own flag: the window state follows the window manager's answer, which comes later.
    if (on == fullscreen_) return;
    fullscreen_ = on;
    for (QShortcut* key : fullscreenMenuKeys_) key->setEnabled(on);
    if (on) {
        geometryBeforeFullscreen_ = saveGeometry();
        rectBeforeFullscreen_ = geometry();
        showFullScreen();
        menuBar()->hide();
        statusBar()->hide();
        // Without a window manager, or with one that ignores the request, the window keeps its size:
        // then size it to the screen ourselves.
        QTimer::singleShot(200, this, [this] {
            QScreen* s = screen();
            if (fullscreen_ && s && geometry() != s->geometry()) setGeometry(s->geometry());
        });
    } else {
        showNormal();
        menuBar()->show();
        statusBar()->show();
        if (rectBeforeFullscreen_.isValid()) setGeometry(rectBeforeFullscreen_);
    }
    refreshCommandStates();
}

void MainFrame::pointerAt(const QPoint& globalPosition) {
    if (!fullscreen_) return;
    const QPoint at = mapFromGlobal(globalPosition);
    QMenuBar* bar = menuBar();
    if (bar->isHidden()) {
        if (at.y() <= kTopEdgePixels) bar->show();
    } else if (at.y() > bar->height() + kTopEdgePixels && !bar->activeAction()) {
        bar->hide();
    }
    for (QShortcut* key : fullscreenMenuKeys_) key->setEnabled(bar->isHidden());
}

void MainFrame::openMenuInFullscreen(QAction* menuAction) {
    menuBar()->show();
    for (QShortcut* key : fullscreenMenuKeys_) key->setEnabled(false);  // the bar takes its keys again
    menuBar()->setActiveAction(menuAction);
}

QByteArray MainFrame::normalGeometry() const {
    return fullscreen_ && !geometryBeforeFullscreen_.isEmpty() ? geometryBeforeFullscreen_ : saveGeometry();
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

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    view_->setWindowShown(true);
    if (QWindow* w = windowHandle()) {
        // A window moved to a screen of another pixel density traces at the new density.
        connect(w, &QWindow::screenChanged, view_, &RenderView::updateTraceSize, Qt::UniqueConnection);
        // Unmapped or iconified behind the toolkit's back (no hide event): the window is not exposed.
        w->removeEventFilter(this);
        w->installEventFilter(this);
    }
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == statusBar()) fitStatusPanes();
    if (event->type() == QEvent::Expose && watched == windowHandle())
        view_->setWindowShown(isVisible() && windowHandle()->isExposed());
    return QMainWindow::eventFilter(watched, event);
}

void MainFrame::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    view_->setWindowShown(false);
}

void MainFrame::showAboutBox() {
    AboutDialog about(this);
    about.exec();
}

QString MainFrame::defaultPictureName() const {
    QString name;
    {
        std::lock_guard<std::mutex> lock(program_.mutex);
        name = QFileInfo(QString::fromStdString(currentDescriptor(program_.shared).cliName)).completeBaseName();
    }
    return QString("lumo-%1-%2.png")
        .arg(name.isEmpty() ? QString("picture") : name, QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
}

void MainFrame::savePicture() {
    if (pictureFolder_.isEmpty()) pictureFolder_ = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictureFolder_.isEmpty() || !QDir(pictureFolder_).exists()) pictureFolder_ = QDir::homePath();
    QFileDialog dialog(this, "Save Picture", QDir(pictureFolder_).filePath(defaultPictureName()),
                       "PNG pictures (*.png)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("png");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    if (savePictureTo(path)) pictureFolder_ = QFileInfo(path).absolutePath();
}

std::string MainFrame::chooseSceneFile() {
    if (sceneFolder_.isEmpty() || !QDir(sceneFolder_).exists()) sceneFolder_ = QDir::currentPath();
    QFileDialog dialog(this, "Open Scene", sceneFolder_,
                       "Scenes and meshes (*.json *.obj *.gltf *.glb);;Scene files (*.json);;"
                       "Meshes (*.obj *.gltf *.glb);;All files (*)");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    sceneFolder_ = QFileInfo(path).absolutePath();
    return QFile::encodeName(path).toStdString();
}

bool MainFrame::savePictureTo(const QString& path) {
    std::string error;
    if (writePng(view_->shownFrame(), QFile::encodeName(path).toStdString(), error)) {
        statusBar()->showMessage(QString("Saved %1").arg(QFileInfo(path).fileName()), 4000);
        return true;
    }
    QMessageBox::warning(this, "Save Picture",
                         QString("The picture could not be saved as %1:\n%2").arg(path, QString::fromStdString(error)));
    return false;
}

}  // namespace lumo
