// The real tester window with its real client, fed with frames over UDP on loopback:
// configuration, device selection, the status line, and the screen-paced presentation.
#include "Ombrix.h"
#include "eventcounter.h"
#include "joystickwidget.h"
#include "modalcloser.h"
#include "net.h"
#include "windowfixture.h"

#include <QAction>
#include <QBackingStore>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using Device = FrameSender::Device;

class TestMainWindow : public WindowFixture {
    Q_OBJECT

private slots:
    void configuration_data();
    void configuration();
    void folderInPlaceOfTheFile();
    void portKeptPerUserInAReadOnlyFolder();
    void restartOnLeadingZeroAndOntoRejectedPorts();
    void selectingADeviceHidesTheButtonsItLacks();
    void burstEndsOnTheNewestFrame();
    void frameAfterAQuietSpellShowsAtOnce();
    void errorTextShowsUntilTheNextGoodFrame_data();
    void errorTextShowsUntilTheNextGoodFrame();
    void clientWithoutSocketPacesItsErrors();
    void aboutBox();
};

namespace {

const QByteArray oneDevice = FrameSender::frame({Device{}});

// What the window has on the screen (its backing store), and what a full repaint gives.
QImage onScreen(QWidget& window) {
    const auto* store = static_cast<const QImage*>(window.backingStore()->paintDevice());
    return store->copy(window.rect()).convertToFormat(QImage::Format_RGB32);
}

QImage fullRepaint(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

void TestMainWindow::configuration_data() {
    QTest::addColumn<QByteArray>("content"); // "PORT" stands for the test's free port
    QTest::addColumn<QByteArray>("portText");
    QTest::addColumn<QString>("box");    // the warning shown, if any
    QTest::addColumn<QString>("status"); // empty: the status line of device 1
    const QString none;
    QTest::newRow("port") << QByteArray("PORT") << QByteArray("PORT") << none << none;
    QTest::newRow("cut at NUL") << QByteArray("PORT\0009", 6) << QByteArray("PORT") << none << none;
    QTest::newRow("cut to 199 characters")
        << "PORT" + QByteArray(300, ' ') << "PORT" + QByteArray(194, ' ') << none << none;
    QTest::newRow("not UTF-8") << QByteArray("\x01\xff") << QByteArray("\x01?") << "Wrong data port"
                               << " Version V01 - Skywand ID: S0 - Port: \x01? ";
    QTest::newRow("zero") << QByteArray("0") << QByteArray("0") << none << "Illegal data port";
}

// Rejected ports leave no client; what is written back at exit is the port text in use.
void TestMainWindow::configuration() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, portText);
    QFETCH(QString, box);
    QFETCH(QString, status);
    const QByteArray number = QByteArray::number(port);
    writeConfig(content.replace("PORT", number));
    portText.replace("PORT", number);
    ModalCloser closer;
    openWindow(oneDevice);
    QCOMPARE(Probe::portText(*window), portText);
    QCOMPARE(closer.texts, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(Probe::client(*window) != nullptr, box.isEmpty() && status.isEmpty());
    QTRY_COMPARE(statusText(), status.isEmpty() ? statusLine(1, portText) : status);
    window.reset();
    QCOMPARE(readConfig(), QString::fromLatin1(portText).toUtf8());
}

void TestMainWindow::folderInPlaceOfTheFile() {
    QFile::remove(configPath());
    QVERIFY(QDir().mkdir(configPath()));
    ModalCloser closer;
    openWindow({});
    QCOMPARE(closer.texts, QStringList{QStringLiteral("Wrong data port")});
    window.reset();
    QVERIFY(QFileInfo(configPath()).isDir());
}

// An installed copy: the program's folder is read-only, its file there is the administrator's.
// The first start takes that port; a change goes to the user's own file, which survives a
// restart, and the administrator's file stays as it was. Where the folder is writable, no
// user file is made. Root may write anywhere, so the read-only case runs as "nobody".
void TestMainWindow::portKeptPerUserInAReadOnlyFolder() {
    const QString userFile = qEnvironmentVariable("XDG_CONFIG_HOME") +
                             QStringLiteral("/skywandtester/skywandtester.config");
    if (geteuid() == 0) {
        QTemporaryDir home, folder;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        openWindow(oneDevice);
        window.reset();
        QVERIFY(QDir(home.path()).isEmpty());

        const QString copy = folder.path() + QStringLiteral("/tst_mainwindow");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QVERIFY(QFile::copy(QStringLiteral(CLIENT_LIBRARY_FILE),
                            folder.path() + QStringLiteral("/" CLIENT_LIBRARY_NAME)));
        QFile config(folder.path() + QStringLiteral("/skywandtester.config"));
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write(QByteArray::number(port)) > 0);
        config.close();
        QVERIFY(config.setPermissions(QFile::ReadOther | QFile::WriteOther | QFile::ReadOwner));
        const auto all = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                         QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(QFile::setPermissions(home.path(), all));
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOther | QFile::ExeOther |
                                                         QFile::ReadOwner | QFile::ExeOwner));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), folder.path());
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral("setpriv"), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                copy, "portKeptPerUserInAReadOnlyFolder"});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QFile::setPermissions(folder.path(), all);
        return;
    }
    if (QFileInfo(QCoreApplication::applicationDirPath()).isWritable())
        QSKIP("runs in a folder its user cannot write to, made by the same test run as root");
    const QByteArray systemPort = readConfig();
    port = systemPort.toUShort();
    sender = std::make_unique<FrameSender>(port);
    openWindow(oneDevice);
    QCOMPARE(Probe::portText(*window), systemPort);
    const QByteArray newPort = QByteArray::number(freeUdpPort());
    Probe::changePort(*window, newPort);
    window.reset();
    QCOMPARE(readConfig(), systemPort);
    QFile user(userFile);
    QVERIFY(user.open(QIODevice::ReadOnly));
    QCOMPARE(user.readAll(), newPort);

    port = newPort.toUShort();
    sender = std::make_unique<FrameSender>(port);
    openWindow(oneDevice);
    QCOMPARE(Probe::portText(*window), newPort);
}

void TestMainWindow::restartOnLeadingZeroAndOntoRejectedPorts() {
    openWindow(oneDevice);
    Probe::changePort(*window, "70000"); // above the range; below it: configuration's "zero"
    QVERIFY(!Probe::client(*window));
    QVERIFY(!Probe::receiver(*window)->isRunning());
    QCOMPARE(statusText(), QStringLiteral("Illegal data port"));
    // A leading zero is a new text for the same port: reception restarts on it.
    const QByteArray zeroPort = "0" + QByteArray::number(port);
    Probe::changePort(*window, zeroPort);
    QVERIFY(Probe::receiver(*window)->isRunning());
    QCOMPARE(Probe::client(*window)->get_data_port(), port);
    QTRY_COMPARE(statusText(), statusLine(1, zeroPort));
}

// A device with n <= 4 buttons hides the labels of buttons n+1 and n+2, never the vertical
// value (index 5), and a label an earlier selection hid comes back: selecting 2 then 4
// buttons once left Buttons 3 and 4 hidden.
void TestMainWindow::selectingADeviceHidesTheButtonsItLacks() {
    openWindow(FrameSender::frame({Device{6}, Device{4}, Device{3}, Device{0}, Device{2}}), true);
    auto* selector = window->findChild<QComboBox*>(QStringLiteral("cboSkywand"));
    QCOMPARE(selector->count(), 5);
    // The device selected, then which of Buttons 1 to 5 show.
    const QList<QPair<int, QString>> steps = {
        {4, "11001"}, {1, "11110"}, {2, "11100"}, {3, "00111"}, {0, "11111"}};
    for (const auto& [device, shown] : steps) {
        selector->setCurrentIndex(device);
        QCOMPARE(statusText(), statusLine(device + 1, QByteArray::number(port)));
        QString visible;
        for (int i = 1; i <= 5; ++i)
            visible += label(qPrintable(QStringLiteral("lbl_btn%1").arg(i)))->isHidden() ? '0' : '1';
        QCOMPARE(visible, shown);
        QVERIFY(!label("lbl_joyV")->isHidden());
    }
}

// 2000 frames a second, each with other values: the window presents at most once per refresh
// interval, the screen ends on the newest frame, exactly as a full repaint of the window shows
// it, and the panel never shows half a frame.
void TestMainWindow::burstEndsOnTheNewestFrame() {
    openWindow(oneDevice, true);
    QList<QByteArray> burst;
    for (int i = 1; i <= 1000; ++i) {
        Device d{6, quint32(i % 2 ? 0b11111 : 0), i / 100.0, -i / 100.0};
        burst << FrameSender::frame({d, d}, unsigned(i));
    }
    int mixed = 0;
    QTimer checker;
    connect(&checker, &QTimer::timeout, [&] {
        const bool pressed = label("lbl_btn1")->styleSheet() == "background-color: red; color: white;";
        const QString h = label("lbl_joyH")->text().mid(4);
        if (h != "0.00" && (pressed != (qRound(h.toDouble() * 100) % 2 == 1)))
            ++mixed;
    });
    checker.start(1);
    // Every presentation moves the knob, so the indicator's paints count the presentations.
    JoystickWidget* indicator = window->findChild<JoystickWidget*>();
    EventCounter counter(QEvent::Paint);
    indicator->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < burst.size(); ++i) {
        while (clock.nsecsElapsed() < i * 500000LL)
            QCoreApplication::processEvents();
        sender->send(burst[i]);
    }
    // Events handled in short steps until the newest frame shows, so the time taken stays close.
    const auto settled = [&] {
        return indicator->valueH() == 10.0 && label("lbl_joyV")->text() == "Y = -10.00";
    };
    for (QDeadlineTimer deadline(3000); !settled() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QVERIFY(settled());
    const double intervals = clock.elapsed() / 1000.0 * window->screen()->refreshRate();
    checker.stop();
    QCOMPARE(mixed, 0);
    QVERIFY2(counter.count <= intervals + 2, qPrintable(QString::number(counter.count)));
    QTRY_COMPARE(onScreen(*window), fullRepaint(*window));
}

// Shown by the very slot call that announces it, not held for the next refresh.
void TestMainWindow::frameAfterAQuietSpellShowsAtOnce() {
    openWindow(oneDevice, true);
    QTest::qWait(100);
    const JoystickWidget* indicator = window->findChild<JoystickWidget*>();
    // Queued after the window's own connection, so it runs right after the window's slot.
    double shown = 0;
    QObject context;
    connect(Probe::receiver(*window), &TrackReceiver::sendMessageDataArrived, &context,
            [&] { shown = indicator->valueH(); });
    sender->send(FrameSender::frame({Device{6, 1, 0.5, 0.25}}, 2));
    QTRY_COMPARE(shown, 0.5);
    QCOMPARE(label("lbl_joyH")->text(), QStringLiteral("X = 0.50"));
}

void TestMainWindow::errorTextShowsUntilTheNextGoodFrame_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("text");
    QTest::newRow("parse error") << QByteArray("fr 2\n6df2 x\n")
                                 << "error while parsing tracking data";
    QTest::newRow("receive error")
        << QByteArray(25000, 'x') << "error while receiving tracking data";
    QTest::newRow("time-out") << QByteArray() << "timeout while waiting for tracking data";
}

void TestMainWindow::errorTextShowsUntilTheNextGoodFrame() {
    QFETCH(QByteArray, datagram);
    QFETCH(QString, text);
    openWindow(oneDevice, true);
    if (!datagram.isEmpty())
        sender->send(datagram);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(), text, 3000);
    sender->send(FrameSender::frame({Device{6, 0, 0.75, 0}}, 3));
    QTRY_COMPARE(statusText(), statusLine(1, QByteArray::number(port)));
    QCOMPARE(label("lbl_joyH")->text(), QStringLiteral("X = 0.75"));
}

// A client whose socket could not be bound fails every receive at once; the thread rests
// after each such failure instead of flooding the GUI thread, and stops at once.
void TestMainWindow::clientWithoutSocketPacesItsErrors() {
    openWindow(oneDevice);
    UdpSocket holder;
    int errors = 0;
    QObject counting;
    connect(Probe::receiver(*window), &TrackReceiver::sendMessageDataError, &counting,
            [&errors] { ++errors; });
    Probe::changePort(*window, QByteArray::number(holder.port()));
    QCOMPARE(statusText(), QStringLiteral("Ombrix init error"));
    // The reason beside the specified texts, for 10 s and in the tool tip while it holds.
    const QString reason =
        QStringLiteral("UDP port %1 is in use by another program").arg(holder.port());
    QCOMPARE(window->statusBar()->currentMessage(), reason);
    QVERIFY(label("statusLabel")->toolTip().startsWith(reason + '\n'));
    QTRY_COMPARE(statusText(), QStringLiteral("error while receiving tracking data"));
    QTest::qWait(2500);
    QVERIFY2(errors >= 2 && errors <= 5, qPrintable(QString::number(errors)));
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 500);
}

void TestMainWindow::aboutBox() {
    openWindow(oneDevice);
    ModalCloser closer;
    window->findChild<QAction*>(QStringLiteral("action_info"))->trigger();
    QCOMPARE(closer.titles, QStringList{QStringLiteral("Skywandtester")});
    QVERIFY(closer.texts.value(0).startsWith(QLatin1String("Skywand tester tool.\n")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
