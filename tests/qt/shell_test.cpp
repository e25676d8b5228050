#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/commands.h"
#include "app/platform.h"
#include "app/program.h"
#include "app/qt/about_dialog.h"
#include "app/qt/lumo_app.h"
#include "app/qt/render_view.h"
#include "app/settings.h"
#include "app/startup.h"
#include "core/workers.h"

using namespace lumo;

namespace {

QMenu* menuOf(QAction* action) {
    for (QObject* o : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o)) return menu;
    return nullptr;
}

// Opens the menu holding the item the way a user would, so its update rules run, and closes it again.
void showMenuOf(QAction* action) {
    QMenu* menu = menuOf(action);
    QVERIFY(menu);
    menu->popup(QPoint(0, 0));
    menu->close();
}

// The window's platform, counting the frames it presents.
struct CountingPlatform : QtPlatform {
    using QtPlatform::QtPlatform;
    void presentFrame(const uint32_t* pixels, int w, int h) override {
        ++presents;
        QtPlatform::presentFrame(pixels, w, h);
    }
    int presents = 0;
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        resetToStaticValues();
        app = std::make_unique<LumoApp>();
    }
    void cleanup() {
        app.reset();
        program().renderer.wait.limit = WorkerWait{}.limit;
    }

    void viewStartsAt320x240WithItsBuffer() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        QCOMPARE(view.frameBuffer().width, 320);
        QCOMPARE(view.frameBuffer().height, 240);
        QCOMPARE(view.frameBuffer().pixels.size(), size_t{321 * 241});
        QVERIFY(app->window.windowTitle().startsWith("LUMO-Demo: "));
    }

    void resolutionItemsGiveExactlyThatViewSize() {
        RenderView& view = app->window.view();
        app->window.action(kCmdResolution800)->trigger();
        QTRY_COMPARE(view.size(), QSize(800, 600));
        QCOMPARE(view.frameBuffer().width, 800);
        QCOMPARE(view.frameBuffer().height, 600);
        QCOMPARE(view.frameBuffer().pixels.size() * sizeof(uint32_t), size_t{1925604});
        app->window.runOneFrame();

        const std::pair<int, QSize> others[] = {{kCmdResolution480, {480, 360}},
                                                {kCmdResolution512, {512, 384}},
                                                {kCmdResolution640, {640, 480}},
                                                {kCmdResolution320, {320, 240}}};
        for (const auto& [id, size] : others) {
            app->window.action(id)->trigger();
            QTRY_COMPARE(view.size(), size);
            QCOMPARE(view.frameBuffer().pixels.size(), size_t((size.width() + 1) * (size.height() + 1)));
        }
    }

    void emptyAndTinyViewsRenderWithoutCrashing() {
        RenderView& view = app->window.view();
        for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(0, 5), QSize(7, 0)}) {
            view.resize(size);
            QCOMPARE(view.frameBuffer().width, size.width());
            QCOMPARE(view.frameBuffer().height, size.height());
            QCOMPARE(view.frameBuffer().pixels.size(), size_t((size.width() + 1) * (size.height() + 1)));
            app->window.runOneFrame();
            view.repaint();
        }
    }

    void resizeDuringAFrameWaitsForItsEnd() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        view.beginFrame();
        view.resize(50, 40);
        QCOMPARE(view.frameBuffer().width, 320);  // the frame keeps writing into the buffer it started with
        view.endFrame();
        QCOMPARE(view.frameBuffer().width, 50);
        QCOMPARE(view.frameBuffer().height, 40);
    }

    void aFrameNeverStartsInsideAnother() {
        // A modal box inside a frame runs the event loop, whose idle timer asks for frames.
        struct Reentrant : QtPlatform {
            using QtPlatform::QtPlatform;
            void presentFrame(const uint32_t* pixels, int w, int h) override {
                ++presents;
                window->runOneFrame();
                QtPlatform::presentFrame(pixels, w, h);
            }
            MainFrame* window = nullptr;
            int presents = 0;
        } reentrant(app->window);
        reentrant.window = &app->window;
        setPlatform(&reentrant);
        app->window.runOneFrame();
        setPlatform(&app->platform);
        QCOMPARE(reentrant.presents, 1);
    }

    void minimisedWindowRendersNoPixelsAndRestores() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        app->window.setWindowState(Qt::WindowMinimized);
        QCOMPARE(view.frameBuffer().width, 0);
        QCOMPARE(view.frameBuffer().height, 0);
        QCOMPARE(view.frameBuffer().pixels.size(), size_t{1});
        app->window.runOneFrame();
        app->window.setWindowState(Qt::WindowNoState);
        QCOMPARE(view.frameBuffer().width, view.width());
        QCOMPARE(view.frameBuffer().height, view.height());
        QCOMPARE(view.size(), QSize(320, 240));
    }

    void frameIsShownBottomUpWithoutColumnZero() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        FrameBuffer& fb = view.frameBuffer();
        for (int r = 0; r <= fb.height; ++r)
            for (int c = 0; c <= fb.width; ++c) fb.at(r, c) = c == 0 ? 0x00FF00u : r == 0 ? 0xFF0000u : 0x0000FFu;
        const QImage shown = view.grab().toImage();
        QCOMPARE(shown.pixel(5, 239) & 0xFFFFFFu, 0xFF0000u);  // buffer row 0 is the bottom line
        QCOMPARE(shown.pixel(5, 238) & 0xFFFFFFu, 0x0000FFu);
        QCOMPARE(shown.pixel(0, 100) & 0xFFFFFFu, 0x0000FFu);  // column 0 stays hidden
        QCOMPARE(shown.pixel(319, 0) & 0xFFFFFFu, 0x0000FFu);
    }

    void windowTitleFollowsTheScene() {
        const std::pair<int, const char*> scenes[] = {
            {kCmdCube, "LUMO-Demo: Spinning Glass Cube"},        {kCmdSpheres, "LUMO-Demo: 3 rotating Spheres"},
            {kCmdTorus, "LUMO-Demo: rotating Torus"},            {kCmdShadows1, "LUMO-Demo: Moving Light"},
            {kCmdAreaLight, "LUMO-Demo: Area Light's Soft Shadow"}, {kCmdEgg, "LUMO-Demo: Tumbling Egg"},
            {kCmdCornellBox, "LUMO-Demo: Cornell Box"},          {kCmdBalls, "LUMO-Demo: 3 rotating Spheres"},
            {kCmdMirrorsphere, "LUMO-Demo: Bouncing Mirrorsphere"}};
        QCOMPARE(app->window.windowTitle(), QString("LUMO-Demo: Bouncing Mirrorsphere"));
        for (const auto& [id, title] : scenes) {
            app->window.action(id)->trigger();
            QCOMPARE(app->window.windowTitle(), QString(title));
            app->window.runOneFrame();
        }
    }

    void menusShowTheirTextsAndMarks() {
        MainFrame& w = app->window;
        QStringList tops;
        for (QAction* a : w.menuBar()->actions()) tops << a->text();
        QCOMPARE(tops, QStringList({"&Demo", "&Quality", "Shader", "Test", "&Info"}));
        QCOMPARE(w.action(kCmdAntiAliasBest)->text(), QString("Best  (max. 4x4)"));
        QCOMPARE(w.action(kCmdCausticSamples2500)->text(), QString("  2500 (Coarse)"));
        QCOMPARE(w.action(kCmdAdaptive5)->text(), QString("  5 fps"));
        QCOMPARE(w.action(kCmdExit)->text(), QString("E&xit"));
        QCOMPARE(w.action(kCmdAbout)->text(), QString("&About Lumo..."));
        QCOMPARE(w.action(kCmdAsm)->statusTip(), QString("Use optimized assembly routines"));
        QCOMPARE(w.action(kCmdThreads2)->text(), QString("2"));
        QCOMPARE(w.action(kCmdThreadsAll)->text(), QString("All (%1)").arg(hardwareThreads()));

        // Start: Mirrorsphere, Subsampling, Phong, animation on, every thread, photon items disabled.
        for (int id : {kCmdSubsampling, kCmdMirrorsphere, kCmdShadePhong, kCmdAnimation, kCmdThreadsAll,
                       kCmdInterpCenter, kCmdAntiAliasNone, kCmdGiOnlyIndirect}) {
            showMenuOf(w.action(id));
            QVERIFY2(w.action(id)->isChecked(), qPrintable(w.action(id)->text()));
        }
        showMenuOf(w.action(kCmdCausticsCalculate));
        QVERIFY(!w.action(kCmdCausticsCalculate)->isEnabled());
        QVERIFY(!w.action(kCmdSamplingStandard)->isCheckable());
        QVERIFY(!w.action(kCmdResolution320)->isCheckable());

        // A change behind the menu's back (the adaptive control, a scene) shows when the menu opens.
        settings().adaptiveTargetFps = 25;
        showMenuOf(w.action(kCmdAdaptive25));
        QVERIFY(w.action(kCmdAdaptive25)->isChecked());
        w.action(kCmdSamplingRaw)->trigger();
        showMenuOf(w.action(kCmdAdaptive25));
        QVERIFY(!w.action(kCmdAdaptive25)->isChecked());

        w.action(kCmdEgg)->trigger();
        showMenuOf(w.action(kCmdCausticsCalculate));
        QVERIFY(w.action(kCmdCausticsCalculate)->isEnabled());
        QVERIFY(w.action(kCmdCausticsCalculate)->isChecked());
        showMenuOf(w.action(kCmdGiDisplay));
        QVERIFY(!w.action(kCmdGiDisplay)->isEnabled());

        // Choosing a checked toggle turns it off; the item follows the setting, not Qt's own flip.
        w.action(kCmdFilter)->trigger();
        QVERIFY(w.action(kCmdFilter)->isChecked());
        QCOMPARE(settings().filterOn, int16_t{1});
        w.action(kCmdOneToOne)->trigger();
        w.action(kCmdOneToOne)->trigger();  // choosing it again keeps it chosen
        QVERIFY(w.action(kCmdOneToOne)->isChecked());
        QVERIFY(!w.action(kCmdSubsampling)->isChecked());
    }

    void dragOrbitsTheCamera() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        const float azimuth = camera().cameraAzimuth;
        const float elevation = camera().cameraElevation;
        sendMouse(&view, QEvent::MouseButtonPress, {160, 120}, Qt::LeftButton);
        sendMouse(&view, QEvent::MouseMove, {0, 120}, Qt::LeftButton);  // half the width to the left
        QVERIFY(std::fabs(camera().cameraAzimuth - (azimuth + 3.1415925f)) < 1e-5f);
        QCOMPARE(camera().cameraElevation, elevation);
        sendMouse(&view, QEvent::MouseMove, {0, 0}, Qt::LeftButton);  // upward: stops at the horizon
        QCOMPARE(camera().cameraElevation, 0.0f);
        sendMouse(&view, QEvent::MouseMove, {160, 240}, Qt::LeftButton);  // downward: half a quarter turn up
        QVERIFY(std::fabs(camera().cameraElevation - (elevation + 0.785398f)) < 1e-5f);
        sendMouse(&view, QEvent::MouseButtonRelease, {160, 240}, Qt::NoButton);
        app->window.runOneFrame();
        const Vec3 eye = camera().eyePosition;
        QVERIFY(std::fabs(std::sqrt(eye.x * eye.x + eye.y * eye.y + eye.z * eye.z) - 7.0f) < 1e-4f);
    }

    void framesRunFromTheEventLoopAndShowTheRate() {
        app->window.startFrames();
        const QRegularExpression rate("^ *\\d+\\.\\d\\d fps$");
        QTRY_VERIFY_WITH_TIMEOUT(rate.match(app->window.statusPane().text()).hasMatch(), 10000);
        app->window.stopFrames();
    }

    void aboutBoxIsModalWithItsTexts() {
        QStringList seen;
        QString caption;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            if (!box) return;
            modal = box->isModal();
            caption = box->windowTitle();
            for (QLabel* l : box->findChildren<QLabel*>())
                if (!l->text().isEmpty()) seen << l->text();
            for (QPushButton* b : box->findChildren<QPushButton*>()) {
                seen << b->text();
                if (b->isDefault()) b->click();
            }
        });
        app->window.action(kCmdAbout)->trigger();
        QVERIFY(modal);
        QCOMPARE(caption, QString("About Lumo"));
        for (const char* text : {"Real-time", "Lumo", "Design Demo Release 0.38 (03/16/2006)", "OK"})
            QVERIFY2(seen.contains(text), text);
    }

    void timeOutMessageIsARealModalBox() {
        QString caption, text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            caption = box->windowTitle();
            text = box->text();
            box->accept();
        });
        platform().showMessage("Debug", "Time out, ThrCnt=2");
        QCOMPARE(caption, QString("Debug"));
        QCOMPARE(text, QString("Time out, ThrCnt=2"));
    }

    void workerTimeOutShowsTheBoxAndTheFrameStillEnds() {
        RenderView& view = app->window.view();
        QTRY_COMPARE(view.size(), QSize(320, 240));
        app->window.action(kCmdThreads4)->trigger();
        CountingPlatform counting(app->window);
        setPlatform(&counting);
        program().renderer.wait.limit = std::chrono::milliseconds(0);
        QStringList boxes;
        bool resizedInside = false;
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            boxes << box->windowTitle() + ": " + box->text();
            if (!resizedInside) {
                view.resize(64, 48);  // arrives while the frame still uses its buffer
                resizedInside = view.frameBuffer().width == 320;
            }
            box->accept();
        });
        closer.start();
        app->window.startFrames();  // the idle timer also fires inside the box's event loop
        for (int i = 0; i < 20 && boxes.isEmpty(); ++i) {
            const int presents = counting.presents;
            app->window.runOneFrame();
            QCOMPARE(counting.presents - presents, 1);  // no frame inside the frame
        }
        app->window.stopFrames();
        setPlatform(&app->platform);
        QVERIFY(!boxes.isEmpty());
        QVERIFY2(QRegularExpression("^Debug: Time out, ThrCnt=[1-4]$").match(boxes.first()).hasMatch(),
                 qPrintable(boxes.first()));
        QVERIFY(resizedInside);
        QCOMPARE(view.frameBuffer().width, 64);
        QCOMPARE(view.frameBuffer().height, 48);
    }

    void exitClosesTheWindow() {
        app->window.startFrames();
        QTest::qWait(50);
        QVERIFY(app->window.isVisible());
        app->window.action(kCmdExit)->trigger();
        QVERIFY(!app->window.isVisible());
    }

private:
    std::unique_ptr<LumoApp> app;
};

QTEST_MAIN(ShellTest)
#include "shell_test.moc"
