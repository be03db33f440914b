// The window's repaints paced to the screen: at most one per refresh interval, the first after
// a quiet spell at once, and the newest state always painted in the end.

#include "repaintpacer.h"
#include "screenstate.h"

#include <QBackingStore>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <limits>

namespace {

// Paints its value as a colour and remembers what it painted.
class ValueWidget : public QWidget {
public:
    int value = 0;
    int paintedValue = -1;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromHsv(value % 360, 255, 255));
        paintedValue = value;
        ++paints;
    }
};

} // namespace

class TestRepaintPacer : public QObject {
    Q_OBJECT

private slots:
    void intervalFromRefreshRate_data();
    void intervalFromRefreshRate();
    void firstRepaintAfterQuietIsImmediate();
    void burstIsPacedAndEndsWithTheNewestState();
};

void TestRepaintPacer::intervalFromRefreshRate_data() {
    QTest::addColumn<double>("hertz");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("60 Hz") << 60.0 << 16;
    QTest::newRow("59.94 Hz") << 59.94 << 16;
    QTest::newRow("144 Hz") << 144.0 << 6;
    QTest::newRow("30 Hz") << 30.0 << 33;
    QTest::newRow("unknown: 0") << 0.0 << 16;
    QTest::newRow("nonsense: negative") << -60.0 << 16;
    QTest::newRow("nonsense: NaN") << std::numeric_limits<double>::quiet_NaN() << 16;
    QTest::newRow("nonsense: a million") << 1e6 << 16;
}

void TestRepaintPacer::intervalFromRefreshRate() {
    QFETCH(double, hertz);
    QFETCH(int, intervalMs);
    QCOMPARE(RepaintPacer::intervalFor(hertz), intervalMs);
}

void TestRepaintPacer::firstRepaintAfterQuietIsImmediate() {
    ValueWidget widget;
    widget.resize(60, 40);
    auto* pacer = new RepaintPacer(&widget, 200);
    QCOMPARE(pacer->interval(), 200);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTest::qWait(250); // quiet for longer than an interval

    const int before = widget.paints;
    widget.value = 10;
    widget.update();
    settle();
    QCOMPARE(widget.paints, before + 1);
    QCOMPARE(widget.paintedValue, 10);

    // The next one waits for the rest of the interval, then paints the newest value.
    widget.value = 20;
    widget.update();
    widget.value = 30;
    widget.update();
    settle();
    QCOMPARE(widget.paints, before + 1);
    QTRY_COMPARE_WITH_TIMEOUT(widget.paintedValue, 30, 1000);
    QCOMPARE(widget.paints, before + 2);
}

// Updates every millisecond for 300 ms: about one repaint per 20 ms interval, not 300, and once
// the updates stop the screen shows the newest value (within an interval, unless the machine
// holds the test off the CPU).
void TestRepaintPacer::burstIsPacedAndEndsWithTheNewestState() {
    constexpr int intervalMs = 20;
    ValueWidget widget;
    widget.resize(60, 40);
    new RepaintPacer(&widget, intervalMs);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    const int before = widget.paints;
    QElapsedTimer burst;
    burst.start();
    while (burst.elapsed() < 300) {
        ++widget.value;
        widget.update();
        QTest::qWait(1);
    }
    const int paints = widget.paints - before;
    QVERIFY2(paints <= 300 / intervalMs + 2, qPrintable(QString::number(paints)));
    QVERIFY2(paints >= 300 / intervalMs / 3, qPrintable(QString::number(paints)));

    QTRY_COMPARE_WITH_TIMEOUT(widget.paintedValue, widget.value, 1000);
    QCOMPARE(onScreen(widget), widget.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestRepaintPacer)
#include "tst_repaintpacer.moc"
