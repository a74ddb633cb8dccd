// The real platform's paint-only event handling: a window repaints during a
// sleep when its paint arrives late, as a window manager's exposes do after
// a dialog or menu has closed.

#include "platform/qt_platform.h"

#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace quilfen;

namespace {

class CountingWidget : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

}  // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT
private slots:
    void paintsArrivingDuringASleepAreHandled_data()
    {
        QTest::addColumn<int>("lateMs");  // when the repaint is asked for; -1: before the call
        QTest::addColumn<bool>("sleep");
        QTest::newRow("pending when repainting") << -1 << false;
        QTest::newRow("pending when the sleep starts") << -1 << true;
        QTest::newRow("asked for 20 ms into the sleep") << 20 << true;
    }
    void paintsArrivingDuringASleepAreHandled()
    {
        QFETCH(int, lateMs);
        QFETCH(bool, sleep);
        CountingWidget window;
        window.resize(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        const int before = window.paints;
        if (lateMs < 0)
            window.update();
        else
            QTimer::singleShot(lateMs, &window, [&window] { window.update(); });

        QtPlatform desktop;
        if (sleep)
            desktop.sleepRepainting(500);
        else
            desktop.repaintWindows();
        QCOMPARE(window.paints, before + 1);
    }
};

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
