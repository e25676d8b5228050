// Random menu commands, resizes, drags and scene switches between frames, on 1, 2 and 4 threads.
// Bounded in count and time; the checks are that nothing crashes (or trips a sanitizer) and that the
// buffer always matches the view.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <random>
#include <vector>

#include "app/commands.h"
#include "app/qt/lumo_app.h"
#include "app/qt/render_view.h"
#include "app/settings.h"
#include "app/startup.h"

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
        resetToStaticValues();
        LumoApp app;
        MainFrame& window = app.window;
        RenderView& view = window.view();

        // A pass that overruns its wait shows a modal box; close it so the soak keeps going.
        QTimer closer;
        closer.setInterval(100);
        connect(&closer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
        });
        closer.start();

        // Everything but the modal About box and Exit; the finest photon count alone makes a frame
        // take seconds, which would leave little of the time budget for the rest.
        std::vector<int> ids;
        for (const Command& c : commands())
            if (c.id != kCmdAbout && c.id != kCmdExit && c.id != kCmdGiSamples2m) ids.push_back(c.id);
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
        int frames = 0;
        for (int i = 0; i < 400 && budget.elapsed() < 12000; ++i) {
            executeCommand(threadId);
            switch (pick(6)) {
                case 0:
                    executeCommand(sceneIds[pick(9)]);
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
                    executeCommand(threadIds[pick(3)]);  // this frame on another thread count
                    break;
                default:
                    executeCommand(ids[static_cast<size_t>(pick(static_cast<int>(ids.size())))]);
                    break;
            }
            window.runOneFrame();
            ++frames;
            QCoreApplication::processEvents();
            const FrameBuffer& fb = view.frameBuffer();
            QCOMPARE(QSize(fb.width, fb.height), view.size());
            QCOMPARE(fb.pixels.size(), size_t((fb.width + 1) * (fb.height + 1)));
        }
        // The frame loop driven by the event loop, with everything the soak left behind.
        window.action(kCmdResolution320)->trigger();
        window.startFrames();
        QTest::qWait(300);
        window.stopFrames();
        qInfo("%d frames in %lld ms", frames, static_cast<long long>(budget.elapsed()));
        QVERIFY(frames > 0);
    }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
