// Random menu commands, keys, resizes, drags, wheel zooms and scene switches while the render thread
// runs frames, on 1, 2 and 4 threads. Bounded in count and time; the checks are that nothing crashes
// (or trips a sanitizer), that frames keep coming and that the settled frame has the view's size.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <random>
#include <vector>

#include "app/commands.h"
#include "app/program.h"
#include "app/qt/lumo_app.h"
#include "app/qt/qt_platform.h"
#include "app/qt/render_view.h"

using namespace lumo;

class SoakTest : public QObject {
    Q_OBJECT
private slots:
    void soak_data() {
        QTest::addColumn<int>("threads");
        QTest::newRow("1 thread") << 1;
        QTest::newRow("2 threads") << 2;
        QTest::newRow("4 threads") << 4;
    }

    void soak() {
        QFETCH(int, threads);
        QTemporaryDir settingsDir;
        QtPlatform platform;
        Program program(platform);
        LumoApp app(program, platform, settingsDir.filePath("lumo.ini"));
        MainFrame& window = app.window;
        RenderView& view = window.view();

        // A pass that overruns its wait shows a modal box; close it so the soak keeps going.
        QTimer closer;
        closer.setInterval(100);
        connect(&closer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
        });
        closer.start();

        // Everything but the modal About box, the file dialogs of Save Picture and Open Scene, and Exit; the finest photon count
        // alone makes a frame take seconds, which would leave little of the time budget for the rest.
        std::vector<int> ids;
        for (const Command& c : commands())
            if (c.id != kCmdAbout && c.id != kCmdExit && c.id != kCmdSavePicture && c.id != kCmdOpenScene &&
                c.id != kCmdGiSamples2m)
                ids.push_back(c.id);
        const Qt::Key keys[] = {Qt::Key_1, Qt::Key_7, Qt::Key_Space, Qt::Key_Plus, Qt::Key_Minus, Qt::Key_R,
                                Qt::Key_Home, Qt::Key_F11, Qt::Key_Escape};
        const int sceneIds[] = {kCmdMirrorsphere, kCmdSpheres, kCmdBalls, kCmdTorus, kCmdCube,
                                kCmdEgg,          kCmdShadows1, kCmdAreaLight, kCmdCornellBox};
        const int threadIds[] = {kCmdThreads1, kCmdThreads2, kCmdThreads4};
        const int threadId = threads == 1 ? kCmdThreads1 : threads == 2 ? kCmdThreads2 : kCmdThreads4;
        const QSize sizes[] = {{0, 0}, {1, 1}, {1, 7}, {9, 1}, {33, 17}, {160, 120}, {320, 240}};

        std::mt19937 rng(1234u + static_cast<unsigned>(threads));
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        auto mouse = [&](QEvent::Type type, QPoint at) {
            QMouseEvent e(type, at, view.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&view, &e);
        };

        QElapsedTimer budget;
        budget.start();
        window.startFrames();
        for (int i = 0; i < 400 && budget.elapsed() < 12000; ++i) {
            window.chooseCommand(threadId);
            switch (pick(8)) {
                case 0:
                    window.chooseCommand(sceneIds[pick(9)]);
                    break;
                case 1:
                    view.resize(sizes[pick(7)]);
                    break;
                case 2: {
                    const int w = std::max(1, view.width()), h = std::max(1, view.height());
                    mouse(QEvent::MouseButtonPress, {pick(w), pick(h)});
                    mouse(QEvent::MouseMove, {pick(2 * w) - w / 2, pick(2 * h) - h / 2});
                    if (pick(2)) mouse(QEvent::MouseButtonRelease, {pick(w), pick(h)});
                    break;
                }
                case 3:
                    window.chooseCommand(threadIds[pick(3)]);  // the next frame on another thread count
                    break;
                case 4:
                    QTest::keyClick(&window, keys[pick(9)]);
                    break;
                case 5: {
                    QWheelEvent e(QPointF(1, 1), view.mapToGlobal(QPointF(1, 1)), QPoint(),
                                  QPoint(0, pick(2) ? 120 : -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                                  false);
                    QApplication::sendEvent(&view, &e);
                    break;
                }
                default:
                    window.chooseCommand(ids[static_cast<size_t>(pick(static_cast<int>(ids.size())))]);
                    break;
            }
            QTest::qWait(pick(3) == 0 ? 20 : 0);
            const FrameBuffer& fb = view.shownFrame();
            if (!fb.pixels.empty()) QCOMPARE(fb.pixels.size(), size_t((fb.width + 1) * (fb.height + 1)));
        }
        // Settled: the next frames have the view's size.
        window.setFullscreen(false);
        window.action(kCmdResolution320)->trigger();
        window.chooseCommand(kCmdBalls);  // a scene that moves: Animation keeps frames coming
        if (!window.action(kCmdAnimation)->isChecked()) window.chooseCommand(kCmdAnimation);
        const uint64_t shown = window.framesShown();
        // Bounds for a hang, not a speed: a sanitized build on a loaded machine may need seconds a frame.
        QTRY_VERIFY_WITH_TIMEOUT(window.framesShown() > shown + 2, 120000);
        QTRY_COMPARE_WITH_TIMEOUT(QSize(view.shownFrame().width, view.shownFrame().height), view.traceSize(), 120000);
        window.stopFrames();
        qInfo("%llu frames in %lld ms", static_cast<unsigned long long>(window.framesShown()),
              static_cast<long long>(budget.elapsed()));
    }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
