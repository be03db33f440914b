// The real window under a flood: 1000 good frames a second, and good and hostile datagrams
// from several senders at once. The GUI thread keeps up, port changes, Exit and closing stay
// short, and memory stays flat.
#include "Ombrix.h"
#include "net.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

using Device = FrameSender::Device;

namespace {

constexpr int hangBoundMs = 1500; // one data time-out and some room

qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

class TestFullRate : public WindowFixture {
    Q_OBJECT

private slots:
    void keepsUpAndChangesPorts();
    void exitAndCloseAreShort_data();
    void exitAndCloseAreShort();
    void hostileFloodKeepsMemoryFlat();

private:
    // 1000 frames a second, the first device's stick moving with every one.
    void openAtFullRate() {
        QList<QByteArray> frames;
        for (int i = 0; i < 50; ++i)
            frames << FrameSender::frame({Device{6, 0, i / 50.0, 0}, Device{}}, unsigned(i + 1));
        openWindow(frames[0]);
        sender->cycle(frames, 1);
    }
};

void TestFullRate::keepsUpAndChangesPorts() {
    openAtFullRate();
    QSet<QString> shown;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        shown << label("lbl_joyH")->text();
    }
    // Presented at the screen's pace: many distinct pictures a second, not one per frame.
    QVERIFY2(shown.size() >= 10, qPrintable(QString::number(shown.size())));
    for (int i = 0; i < 3; ++i) {
        const quint16 newPort = freeUdpPort();
        sender = std::make_unique<FrameSender>(newPort);
        sender->cycle({FrameSender::frame({Device{}, Device{}}, 7)}, 1);
        clock.restart();
        Probe::changePort(*window, QByteArray::number(newPort));
        QVERIFY2(clock.elapsed() < hangBoundMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(Probe::client(*window)->get_data_port(), newPort);
        QTRY_COMPARE(statusText(), statusLine(1, QByteArray::number(newPort)));
    }
}

void TestFullRate::exitAndCloseAreShort_data() {
    QTest::addColumn<bool>("viaExit");
    QTest::newRow("Exit") << true;
    QTest::newRow("close") << false;
}

void TestFullRate::exitAndCloseAreShort() {
    QFETCH(bool, viaExit);
    openAtFullRate();
    QElapsedTimer clock;
    QTimer::singleShot(300, window.get(), [&] {
        clock.start();
        if (viaExit)
            window->findChild<QAction*>(QStringLiteral("action_exit"))->trigger();
        else
            window->close();
    });
    QObject guard; // a hang fails the test; the guard's timer goes with it
    QTimer::singleShot(4 * hangBoundMs, &guard, [] { QCoreApplication::exit(3); });
    QCOMPARE(QApplication::exec(), 0);
    window.reset();
    QVERIFY2(clock.elapsed() < hangBoundMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(udpPortIsFree(port));
}

// Good frames from the sender, and truncated, oversized and garbage datagrams from three
// more, as fast as they go: the window stays up and shows both kinds of error text, and its
// memory does not grow between the first and the last second.
void TestFullRate::hostileFloodKeepsMemoryFlat() {
    openAtFullRate();
    const QByteArray good = FrameSender::frame({Device{}, Device{}});
    const QList<QList<QByteArray>> hostile{
        {good.left(good.size() / 2), "6df2 99999999 1 [\n", QByteArray(30000, '[')},
        {QByteArray("fr 1\n6df2 1 1 [0 1.0 7 2][nan inf 1e999][1 2 3][9 1e308 -1e308]\n")},
        {QByteArray(5000, '\0'), QByteArray("3d -1 [1 2][3 4 5]\n")}};
    std::vector<std::unique_ptr<FrameSender>> floods;
    for (const QList<QByteArray>& datagrams : hostile) {
        floods.push_back(std::make_unique<FrameSender>(port));
        floods.back()->cycle(datagrams, 0);
    }
    QSet<QString> texts;
    qint64 firstSecond = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        texts << statusText();
        if (!firstSecond && clock.elapsed() > 1000)
            firstSecond = residentKb();
    }
    [[maybe_unused]] const qint64 end = residentKb();
    floods.clear();
    QVERIFY(Probe::receiver(*window)->isRunning());
    QVERIFY(texts.contains(QStringLiteral("error while parsing tracking data")));
    QVERIFY(texts.contains(QStringLiteral("error while receiving tracking data")));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // they hold freed memory back
    QVERIFY2(end - firstSecond < 8 * 1024,
             qPrintable(QStringLiteral("%1 -> %2 kB").arg(firstSecond).arg(end)));
#endif
    QTRY_COMPARE(statusText(), statusLine(1, QByteArray::number(port)));
}

QTEST_MAIN(TestFullRate)
#include "tst_fullrate.moc"
