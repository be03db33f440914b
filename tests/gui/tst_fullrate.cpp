// The tester under a steady 1000 frames per second: the GUI thread keeps up with the receiver
// thread's signals, and port changes, Exit and closing the window never hang longer than one
// data time-out, however busy the receiver is.

#include "frames.h"
#include "framesender.h"
#include "skywandtesterprobe.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>

using Probe = SkywandtesterProbe;

namespace {

// One data time-out of the tester, and what a loaded two-core machine (or a sanitizer build)
// may add to it before a hang is declared.
constexpr int dataTimeoutMs = 1000;
constexpr int hangBoundMs = dataTimeoutMs + 1000;

// 1 ms between frames: the controller's highest rate.
constexpr int fullRateIntervalMs = 1;

QByteArray frameWithValue(double horizontal) {
    TestDevice device;
    device.buttons = 0b10011;
    device.joystick = {horizontal, -horizontal};
    return newerFrame({device, device});
}

} // namespace

class TestFullRate : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void guiThreadKeepsUpWithTheReceiver();
    void portChangesDuringFullRateReception();
    void exitDuringFullRateReception();
    void closingDuringFullRateReception();

private:
    QString horizontalValue() const;
    QString status() const;

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;
};

void TestFullRate::init() {
    port = freeUdpPort();
    Probe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
    sender->repeat(frameWithValue(0.25), fullRateIntervalMs);
    window = std::make_unique<Skywandtester>();
    window->show();
    QTRY_COMPARE(horizontalValue(), QStringLiteral("X = 0.25"));
}

void TestFullRate::cleanup() {
    window.reset();
    sender.reset();
    Probe::removeConfig();
}

QString TestFullRate::horizontalValue() const {
    return childOf<QLabel>(*window, "lbl_joyH")->text();
}

QString TestFullRate::status() const {
    return childOf<QLabel>(*window, "statusLabel")->text();
}

// Every receive queues one signal to the GUI thread. If the GUI thread took longer per frame
// than the frames' interval, the queue would grow without end: memory would climb and the
// window would answer later and later. Emitted and handled signals are counted on both sides.
void TestFullRate::guiThreadKeepsUpWithTheReceiver() {
    TrackReceiver* receiver = Probe::receiver(*window);
    std::atomic<int> emitted{0};
    int handled = 0;
    QObject counting;
    // Direct: counted in the receiver thread as it emits.
    connect(
        receiver, &TrackReceiver::sendMessageDataArrived, &counting, [&] { ++emitted; },
        Qt::DirectConnection);
    connect(
        receiver, &TrackReceiver::sendMessageDataError, &counting, [&] { ++emitted; },
        Qt::DirectConnection);
    // Queued like the window's own slots, and run right after them.
    QObject handling;
    connect(receiver, &TrackReceiver::sendMessageDataArrived, &handling, [&] { ++handled; });
    connect(receiver, &TrackReceiver::sendMessageDataError, &handling, [&] { ++handled; });

    constexpr int runMs = 5000;
    int largestBacklog = 0;
    int backlogInLastSecond = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < runMs) {
        QTest::qWait(50);
        const int backlog = emitted.load() - handled;
        largestBacklog = qMax(largestBacklog, backlog);
        if (clock.elapsed() > runMs - 1000)
            backlogInLastSecond = qMax(backlogInLastSecond, backlog);
    }
    const int framesInRun = emitted.load();
    qInfo("%d frames in %d ms; queued signals at most %d, in the last second at most %d",
          framesInRun, runMs, largestBacklog, backlogInLastSecond);

    // The sender paces by sleeping for 1 ms, so it reaches a few hundred frames per second
    // even on a loaded machine.
    QVERIFY2(framesInRun > runMs / 5, qPrintable(QString::number(framesInRun)));
    // A backlog that grew with time would be largest at the end; a bounded one stays within a
    // fraction of a second's frames all along. The limits leave room for a GUI thread that a
    // loaded machine holds off for a few hundred milliseconds.
    QVERIFY2(backlogInLastSecond < 400, qPrintable(QString::number(backlogInLastSecond)));
    QVERIFY2(largestBacklog < 800, qPrintable(QString::number(largestBacklog)));

    sender->stop();
    QTRY_COMPARE_WITH_TIMEOUT(handled, emitted.load(), 2 * dataTimeoutMs);
    QCOMPARE(status(), statusLine(1, QByteArray::number(port)));
    window.reset(); // the thread ends before the counters it calls into go
}

// Each port change stops the receiver thread, replaces the client and starts the thread again.
// With frames on both ports, neither the stop nor the new client's first receive waits long.
void TestFullRate::portChangesDuringFullRateReception() {
    const quint16 otherPort = freeUdpPort();
    FrameSender otherSender(otherPort);
    otherSender.repeat(frameWithValue(-0.5), fullRateIntervalMs);

    constexpr int restarts = 12;
    qint64 slowest = 0;
    qint64 total = 0;
    QElapsedTimer clock;
    for (int i = 0; i < restarts; ++i) {
        const bool toOther = i % 2 == 0;
        const quint16 newPort = toOther ? otherPort : port;
        clock.start();
        Probe::changePort(*window, QByteArray::number(newPort));
        const qint64 took = clock.elapsed();
        slowest = qMax(slowest, took);
        total += took;
        QVERIFY2(took < hangBoundMs,
                 qPrintable(QStringLiteral("restart %1: %2 ms").arg(i).arg(took)));

        QVERIFY(Probe::receiver(*window)->isRunning());
        QCOMPARE(Probe::client(*window)->get_data_port(), newPort);
        // The display follows the new port's frames.
        QTRY_COMPARE(horizontalValue(),
                     toOther ? QStringLiteral("X = -0.50") : QStringLiteral("X = 0.25"));
        QTRY_COMPARE(status(), statusLine(1, QByteArray::number(newPort)));
    }
    qInfo("%d port changes at full rate: %lld ms on average, %lld ms at most", restarts,
          total / restarts, slowest);
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 2);

    window.reset(); // while otherSender still exists, the last receive ends at once
}

void TestFullRate::exitDuringFullRateReception() {
    TrackReceiver* receiver = Probe::receiver(*window);
    QElapsedTimer clock;
    // Let frames arrive for a while, so that signals are queued when Exit comes.
    QCOMPARE(runEventLoop(window.get(), 300, 4 * hangBoundMs,
                          [&] {
                              clock.start();
                              childOf<QAction>(*window, "action_exit")->trigger();
                          }),
             0);
    const qint64 took = clock.elapsed();
    qInfo("Exit at full rate took %lld ms", took);
    QVERIFY2(took < hangBoundMs, qPrintable(QString::number(took)));
    QVERIFY(receiver->isFinished());

    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < hangBoundMs);
    QVERIFY(udpPortIsFree(port));
    QCOMPARE(Probe::readConfig(), QByteArray::number(port));
}

// Closing the window ends the loop without Exit: the destructor stops the busy thread.
void TestFullRate::closingDuringFullRateReception() {
    QCOMPARE(runEventLoop(window.get(), 300, 4 * hangBoundMs, [&] { window->close(); }), 0);

    QVERIFY(Probe::receiver(*window)->isRunning());
    QElapsedTimer clock;
    clock.start();
    window.reset();
    const qint64 took = clock.elapsed();
    qInfo("teardown at full rate took %lld ms", took);
    QVERIFY2(took < hangBoundMs, qPrintable(QString::number(took)));
    QVERIFY(udpPortIsFree(port));
}

QTEST_MAIN(TestFullRate)
#include "tst_fullrate.moc"
