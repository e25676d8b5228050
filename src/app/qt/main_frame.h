// The main window: menu bar built from the command table, the render view, the status bar panes and
// the render loop that feeds the view.
#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QRect>
#include <QTimer>
#include <map>
#include <string>
#include <vector>

#include "app/frame_loop.h"
#include "app/menu_bar.h"
#include "app/render_loop.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QShortcut;

namespace lumo {

class RenderView;

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The window of `program` (which outlives it). Without `produce` the frames are the program's.
    explicit MainFrame(Program& program, RenderLoop::Produce produce = {}, RenderLoop::Clock clock = {},
                       QWidget* parent = nullptr);
    ~MainFrame() override;

    Program& program() { return program_; }
    RenderView& view() { return *view_; }
    RenderLoop& renderLoop() { return loop_; }
    QAction* action(int commandId) const;
    // The status bar panes: frame rate (the first), scene, traced size, threads, rays per second,
    // photons, and the progress of a long frame.
    QLabel& statusPane() { return *fpsPane_; }
    QLabel& scenePane() { return *scenePane_; }
    QLabel& sizePane() { return *sizePane_; }
    QLabel& threadsPane() { return *threadsPane_; }
    QLabel& raysPane() { return *raysPane_; }
    QLabel& photonsPane() { return *photonsPane_; }
    QProgressBar& progress() { return *progress_; }
    // Sets a status pane's text (shown whole or elided, or the pane dropped, as the width allows).
    void setPaneText(QLabel* pane, const QString& text);
    uint64_t framesShown() const { return framesShown_; }

    // Resizes the window so that the view's client area becomes w x h (logical pixels).
    void resizeViewTo(int w, int h);
    void setFullscreen(bool on);
    bool fullscreen() const { return fullscreen_; }

    // Frames from the render thread; stopFrames() waits for the frame in progress.
    void startFrames() { loop_.start(); }
    void stopFrames() { loop_.stop(); }

    // Runs a command as the menu does: window commands directly, the others on the program's state
    // between two frames.
    void chooseCommand(int commandId);
    // Brings the check marks and enabled states of every item, the scene pane and Recent Scenes up to date.
    void refreshCommandStates();
    void showAboutBox();
    // Save Picture: asks for a file, then savePictureTo().
    void savePicture();
    // Open Scene: the file dialog; the chosen file's name, empty when cancelled.
    std::string chooseSceneFile();
    // Opens a scene or mesh file as Open Scene does (a drop, Recent Scenes): read off the UI thread.
    void openFile(const QString& path);
    // Demo > Recent Scenes: one item per file, the latest first; disabled while there is none.
    QMenu& recentScenesMenu() { return *recentMenu_; }
    // The menu bar's menus as one popup: a right click on the picture opens it, in fullscreen too.
    QMenu& contextMenu() { return *contextMenu_; }
    // Writes the picture on show as a PNG; a failure is reported in a message box. True when written.
    bool savePictureTo(const QString& path);
    // The file name Save Picture offers: lumo-<scene>-<date>-<time>.png.
    QString defaultPictureName() const;

    // The geometry of the window as a normal window, also while it is fullscreen.
    QByteArray normalGeometry() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void addItems(QMenu* menu, const std::vector<MenuItem>& items);
    void refreshMenu(QMenu* menu);
    void refreshRecentMenu();
    // In fullscreen the menu bar shows while the pointer is at the screen's top edge (or a menu's
    // access key is pressed) and hides again once the pointer leaves it with no menu open.
    void pointerAt(const QPoint& globalPosition);
    void openMenuInFullscreen(QAction* menuAction);
    void takeNews();
    void showReport(const FrameReport& report);
    // Shows the panes that fit the status bar's width, most important first (rate, scene, rays/s,
    // size, threads, photons): the rate and the scene are elided when even they do not fit, and the
    // others dropped from the least important on.
    void fitStatusPanes();
    void watchProgress(bool fromTimer = false);

    Program& program_;
    RenderLoop loop_;
    RenderView* view_ = nullptr;
    QLabel* fpsPane_ = nullptr;
    QLabel* scenePane_ = nullptr;
    QLabel* sizePane_ = nullptr;
    QLabel* threadsPane_ = nullptr;
    QLabel* raysPane_ = nullptr;
    QLabel* photonsPane_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    std::vector<QShortcut*> fullscreenMenuKeys_;  // Alt+D and the like, while the menu bar is hidden
    bool photonsShown_ = false;  // the scene shows a photon map, so the photons pane is wanted
    QTimer progressTimer_;
    std::map<int, QAction*> actions_;
    QSize requestedViewSize_;  // valid while a resolution command is settling
    int resizeAttempts_ = 0;
    QByteArray geometryBeforeFullscreen_;  // what the settings file keeps while fullscreen
    QRect rectBeforeFullscreen_;
    bool fullscreen_ = false;
    uint64_t framesShown_ = 0;
    bool showingMessage_ = false;
    QString pictureFolder_;  // where the last picture was saved
    QString sceneFolder_;    // where the last scene file was opened
};

}  // namespace lumo
