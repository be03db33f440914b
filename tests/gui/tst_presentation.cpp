// Frames sent over UDP to the real window: the selector, the status line, the device panel,
// receive errors, device selection, restarts onto other ports and the receiver thread's
// hand-over to the GUI thread.

#include "Ombrix.h"
#include "buttonwidget.h"
#include "frames.h"
#include "framesender.h"
#include "joystickwidget.h"
#include "modalcloser.h"
#include "skywandtesterprobe.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

using Probe = SkywandtesterProbe;

namespace {

const char* const panelNames[] = {"lbl_btn1", "lbl_btn2", "lbl_btn3", "lbl_btn4",
                                  "lbl_btn5", "lbl_joyV", "lbl_joyH"};
const QString pressedStyle = QStringLiteral("background-color: red; color: white;");
const QString releasedStyle = QStringLiteral("background-color: lightgray; color: black;");
const QString timeoutText = QStringLiteral("timeout while waiting for tracking data");

// Time for a queued frame or a one-second receive time-out to show.
constexpr int settleMs = 3000;

// Holds a UDP port so that the tester's client cannot bind it.
class PortHolder {
public:
    explicit PortHolder(quint16 port) : fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(port);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
    }
    ~PortHolder() { ::close(fd); }
    bool bound = false;

private:
    int fd;
};

} // namespace

class TestPresentation : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstFrameFillsSelectorAndStatusLine();
    void selectorWaitsForAFrameWithDevices();
    void buttonsPressAndJoystickPerFrame_data();
    void buttonsPressAndJoystickPerFrame();
    void olderLayoutDevicesHaveEightButtons();
    void receiveErrorsReplaceTheStatusLine();
    void selectionHidesAndShowsButtonLabels();
    void selectedDeviceMissingFromFrameShowsZeroRecord();
    void restartMovesReceptionToNewPort();
    void restartOntoRejectedPortsThenAGoodOne();
    void clientWithoutSocketPacesItsErrors();
    void panelNeverShowsHalfAFrame();

private:
    void openWindow();
    QLabel* label(int panelIndex) const;
    QString status() const;
    QList<int> pressedButtons() const;
    QList<int> hiddenLabels() const;
    bool joystickPressed() const;

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;
};

void TestPresentation::init() {
    port = freeUdpPort();
    Probe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
}

void TestPresentation::cleanup() {
    window.reset(); // stops the thread and deletes the client first
    sender.reset();
    Probe::removeConfig();
}

void TestPresentation::openWindow() {
    window = std::make_unique<Skywandtester>();
}

QLabel* TestPresentation::label(int panelIndex) const {
    return childOf<QLabel>(*window, panelNames[panelIndex]);
}

QString TestPresentation::status() const {
    return childOf<QLabel>(*window, "statusLabel")->text();
}

QList<int> TestPresentation::pressedButtons() const {
    QList<int> pressed;
    for (int i = 0; i < 5; ++i) {
        const QString style = label(i)->styleSheet();
        if (style == pressedStyle)
            pressed << i;
        else if (style != releasedStyle)
            qFatal("unexpected button style %s", qPrintable(style));
    }
    return pressed;
}

QList<int> TestPresentation::hiddenLabels() const {
    QList<int> hidden;
    for (int i = 0; i < 7; ++i) {
        if (label(i)->isHidden())
            hidden << i;
    }
    return hidden;
}

bool TestPresentation::joystickPressed() const {
    return window->findChild<JoystickWidget*>()->isJoystickPressed();
}

void TestPresentation::firstFrameFillsSelectorAndStatusLine() {
    TestDevice second;
    second.buttonCount = 3;
    sender->repeat(newerFrame({TestDevice{}, second, TestDevice{}}));
    openWindow();

    // Filled by the constructor from the first frame, before any signal was handled.
    auto* selector = childOf<QComboBox>(*window, "cboSkywand");
    QCOMPARE(selector->count(), 3);
    QCOMPARE(selector->itemText(0), QStringLiteral("S1"));
    QCOMPARE(selector->itemText(1), QStringLiteral("S2"));
    QCOMPARE(selector->itemText(2), QStringLiteral("S3"));
    QCOMPARE(selector->currentIndex(), 0);
    QCOMPARE(Probe::buttonCount(*window), 6);
    QCOMPARE(status(), statusLine(1, QByteArray::number(port)));

    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.00"));
    QCOMPARE(status(), statusLine(1, QByteArray::number(port)));
}

void TestPresentation::selectorWaitsForAFrameWithDevices() {
    openWindow(); // nothing sent: the first receive times out
    QTRY_COMPARE_WITH_TIMEOUT(status(), timeoutText, settleMs);

    // Frames without devices: the selector stays empty, the device number is S0 and the panel
    // shows the untracked record.
    sender->repeat("fr 7\nts 1.0\n");
    QTRY_COMPARE_WITH_TIMEOUT(status(), statusLine(0, QByteArray::number(port)), settleMs);
    auto* selector = childOf<QComboBox>(*window, "cboSkywand");
    QCOMPARE(selector->count(), 0);
    QCOMPARE(label(6)->text(), QStringLiteral("X = 0.00"));
    QCOMPARE(label(5)->text(), QStringLiteral("Y = 0.00"));
    QCOMPARE(pressedButtons(), QList<int>{});
    QCOMPARE(hiddenLabels(), QList<int>{});
    QVERIFY(!joystickPressed());

    // The first frame that lists devices fills it.
    TestDevice device;
    device.joystick = {0.125, 0.0};
    sender->repeat(newerFrame({device, device}));
    QTRY_COMPARE_WITH_TIMEOUT(selector->count(), 2, settleMs);
    QCOMPARE(selector->currentIndex(), 0);
    QTRY_COMPARE(status(), statusLine(1, QByteArray::number(port)));
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.13"));
}

void TestPresentation::buttonsPressAndJoystickPerFrame_data() {
    QTest::addColumn<int>("buttonCount");
    QTest::addColumn<int>("buttonBits");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("v");
    QTest::addColumn<QList<int>>("pressed");
    QTest::addColumn<bool>("joystickPress");
    QTest::addColumn<QString>("xText");
    QTest::addColumn<QString>("yText");
    QTest::addColumn<bool>("button5Shown");

    QTest::newRow("buttons 1, 3 and the joystick press")
        << 6 << 0b100101 << 0.5 << -0.25 << QList<int>{0, 2} << true << "X = 0.50"
        << "Y = -0.25" << true;
    QTest::newRow("all five buttons")
        << 5 << 0b11111 << 1.0 << 1.0 << QList<int>{0, 1, 2, 3, 4} << false << "X = 1.00"
        << "Y = 1.00" << true;
    QTest::newRow("nothing pressed") << 6 << 0 << 0.0 << 0.0 << QList<int>{} << false << "X = 0.00"
                                     << "Y = 0.00" << true;
    QTest::newRow("joystick press alone")
        << 6 << 0b100000 << -0.333 << 0.666 << QList<int>{} << true << "X = -0.33"
        << "Y = 0.67" << true;
    // Devices with more than six buttons have no fifth label and no joystick press.
    QTest::newRow("seven buttons")
        << 7 << 0b1111111 << 0.1 << 0.2 << QList<int>{0, 1, 2, 3, 4} << false << "X = 0.10"
        << "Y = 0.20" << false;
    QTest::newRow("sixteen buttons, upper ones pressed")
        << 16 << 0xFFC0 << 0.0 << -1.0 << QList<int>{} << false << "X = 0.00"
        << "Y = -1.00" << false;
    QTest::newRow("values beyond the circle")
        << 2 << 0b10 << 2.5 << -3.0 << QList<int>{1} << false << "X = 2.50"
        << "Y = -3.00" << true;
}

void TestPresentation::buttonsPressAndJoystickPerFrame() {
    QFETCH(int, buttonCount);
    QFETCH(int, buttonBits);
    QFETCH(double, h);
    QFETCH(double, v);
    QFETCH(QList<int>, pressed);
    QFETCH(bool, joystickPress);
    QFETCH(QString, xText);
    QFETCH(QString, yText);
    QFETCH(bool, button5Shown);

    TestDevice device;
    device.buttonCount = buttonCount;
    device.buttons = quint32(buttonBits);
    device.joystick = {h, v};
    sender->repeat(newerFrame({device}));
    openWindow();

    QTRY_COMPARE(label(6)->text(), xText);
    QCOMPARE(label(5)->text(), yText);
    QCOMPARE(pressedButtons(), pressed);
    QCOMPARE(joystickPressed(), joystickPress);
    QCOMPARE(!label(4)->isHidden(), button5Shown);
    auto* indicator = window->findChild<JoystickWidget*>();
    QCOMPARE(indicator->valueH(), double(float(h)));
    QCOMPARE(indicator->valueV(), double(float(v)));
}

void TestPresentation::olderLayoutDevicesHaveEightButtons() {
    sender->repeat(olderFrame({161, 80}));
    openWindow();
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 2);
    QCOMPARE(Probe::buttonCount(*window), 8);

    // Bits 0, 5 and 7: button 1; the joystick left (bit 5 wins over bit 7); the press on
    // bit 5 is not shown, and button 5 has no label, since the device reports 8 buttons.
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = -1.00"));
    QCOMPARE(label(5)->text(), QStringLiteral("Y = 0.00"));
    QCOMPARE(pressedButtons(), QList<int>{0});
    QVERIFY(!joystickPressed());
    QCOMPARE(hiddenLabels(), QList<int>{4});

    const struct {
        quint32 bits;
        QList<int> pressed;
        const char* x;
        const char* y;
    } steps[] = {
        {15 | 64, {0, 1, 2, 3}, "X = 0.00", "Y = 1.00"}, // bit 6: up
        {16 | 64, {4}, "X = 0.00", "Y = -1.00"},         // bit 4 wins over bit 6
        {128 | 64, {}, "X = 1.00", "Y = 1.00"},
        {16 | 32, {4}, "X = -1.00", "Y = -1.00"},
    };
    for (const auto& step : steps) {
        sender->repeat(olderFrame({step.bits}));
        QTRY_COMPARE(label(6)->text() + label(5)->text(), QString(step.x) + step.y);
        QCOMPARE(pressedButtons(), step.pressed);
        QVERIFY(!joystickPressed());
        QVERIFY(label(4)->isHidden());
    }
}

void TestPresentation::receiveErrorsReplaceTheStatusLine() {
    TestDevice device;
    device.buttons = 0b1;
    device.joystick = {0.75, 0.0};
    sender->repeat(newerFrame({device}));
    openWindow();
    const QString goodLine = statusLine(1, QByteArray::number(port));
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.75"));

    // No more frames: one time-out later the status line says so; the panel keeps its state.
    sender->stop();
    QTRY_COMPARE_WITH_TIMEOUT(status(), timeoutText, settleMs);
    QCOMPARE(label(6)->text(), QStringLiteral("X = 0.75"));
    QCOMPARE(pressedButtons(), QList<int>{0});

    // A device with 17 buttons cannot be parsed.
    sender->send("fr 1\n6df2 1 1 [0 1.0 17 0][0 0 0][1 0 0 0 1 0 0 0 1][1]\n");
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("error while parsing tracking data"),
                              settleMs);
    QCOMPARE(label(6)->text(), QStringLiteral("X = 0.75"));

    sender->send(newerFrame({device}));
    QTRY_COMPARE_WITH_TIMEOUT(status(), goodLine, settleMs);

    // An empty datagram is a receive error.
    sender->send(QByteArray());
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("error while receiving tracking data"),
                              settleMs);
    sender->repeat(newerFrame({device}));
    QTRY_COMPARE_WITH_TIMEOUT(status(), goodLine, settleMs);
}

void TestPresentation::selectionHidesAndShowsButtonLabels() {
    QList<TestDevice> devices;
    for (int count : {6, 3, 4, 5, 0, -3, 16}) {
        TestDevice device;
        device.buttonCount = count;
        devices << device;
    }
    sender->repeat(newerFrame(devices));
    openWindow();
    auto* selector = childOf<QComboBox>(*window, "cboSkywand");
    QCOMPARE(selector->count(), 7);
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.00"));

    // Let the queue of good frames run dry, so that only the selection changes the panel.
    sender->stop();
    QTRY_COMPARE_WITH_TIMEOUT(status(), timeoutText, settleMs);

    const struct {
        int index;
        QList<int> hidden;
    } steps[] = {
        {1, {3, 4}},              // 3 buttons: the labels of buttons 4 and 5 go
        {2, {3, 4}},              // 4 buttons: button 5 goes, the vertical value label stays
        {3, {}},                  // 5 buttons: all five shown again
        {4, {0, 1}},              // no buttons
        {3, {}},     {5, {0, 1}}, // a negative count is taken as none
        {6, {}},                  // 16 buttons
        {2, {4}},
    };
    for (const auto& step : steps) {
        selector->setCurrentIndex(step.index);
        QCOMPARE(hiddenLabels(), step.hidden);
        QCOMPARE(status(), statusLine(step.index + 1, QByteArray::number(port)));
        QCOMPARE(Probe::buttonCount(*window), devices.at(step.index).buttonCount);
    }

    // The next frame shows button 5 again for a device with at most six buttons.
    sender->repeat(newerFrame(devices));
    QTRY_COMPARE(hiddenLabels(), QList<int>{});
    QCOMPARE(status(), statusLine(3, QByteArray::number(port)));
}

void TestPresentation::selectedDeviceMissingFromFrameShowsZeroRecord() {
    TestDevice pressedDevice;
    pressedDevice.buttons = 0b111111;
    pressedDevice.joystick = {0.75, -0.5};
    sender->repeat(newerFrame({TestDevice{}, TestDevice{}, pressedDevice}));
    openWindow();
    childOf<QComboBox>(*window, "cboSkywand")->setCurrentIndex(2);
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.75"));
    QCOMPARE(pressedButtons(), (QList<int>{0, 1, 2, 3, 4}));
    QVERIFY(joystickPressed());

    sender->repeat(newerFrame({TestDevice{}}));
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.00"));
    QCOMPARE(label(5)->text(), QStringLiteral("Y = 0.00"));
    QCOMPARE(pressedButtons(), QList<int>{});
    QVERIFY(!joystickPressed());
    QVERIFY(!label(4)->isHidden());
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 3); // the selector keeps its items
    QCOMPARE(status(), statusLine(3, QByteArray::number(port)));
}

void TestPresentation::restartMovesReceptionToNewPort() {
    TestDevice first;
    first.joystick = {0.25, 0.0};
    sender->repeat(newerFrame({first, first}));
    openWindow();
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.25"));
    TrackReceiver* receiver = Probe::receiver(*window);

    const quint16 newPort = freeUdpPort();
    FrameSender newSender(newPort);
    TestDevice second;
    second.joystick = {-0.75, 0.0};
    newSender.repeat(newerFrame({second}));
    Probe::changePort(*window, QByteArray::number(newPort));

    QCOMPARE(Probe::readConfig(), QByteArray::number(newPort));
    QCOMPARE(Probe::client(*window)->get_data_port(), newPort);
    QCOMPARE(Probe::receiver(*window), receiver); // the same thread object, started again
    QVERIFY(receiver->isRunning());
    QVERIFY(udpPortIsFree(port)); // the old client is gone
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = -0.75"));
    QCOMPARE(status(), statusLine(1, QByteArray::number(newPort)));
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 2);

    window.reset(); // before newSender goes, so the last receive ends at once
}

void TestPresentation::restartOntoRejectedPortsThenAGoodOne() {
    sender->repeat(newerFrame({TestDevice{}}));
    openWindow();
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.00"));

    {
        ModalCloser closer;
        Probe::changePort(*window, "abc");
        QCOMPARE(closer.texts, QStringList{QStringLiteral("Wrong data port")});
    }
    QVERIFY(!Probe::client(*window));
    QVERIFY(!Probe::receiver(*window)->isRunning());
    QTest::qWait(100); // signals queued before the stop are handled without a client

    Probe::changePort(*window, "70000");
    QCOMPARE(status(), QStringLiteral("Illegal data port"));
    QVERIFY(!Probe::client(*window));
    QVERIFY(!Probe::receiver(*window)->isRunning());

    const quint16 newPort = freeUdpPort();
    FrameSender newSender(newPort);
    TestDevice device;
    device.joystick = {0.0, 0.5};
    newSender.repeat(newerFrame({device}));
    Probe::changePort(*window, QByteArray::number(newPort));
    QVERIFY(Probe::receiver(*window)->isRunning());
    QTRY_COMPARE(label(5)->text(), QStringLiteral("Y = 0.50"));
    QTRY_COMPARE(status(), statusLine(1, QByteArray::number(newPort)));

    window.reset();
}

// A client whose socket could not be bound fails every receive at once; the thread rests
// after each such failure instead of flooding the GUI thread.
void TestPresentation::clientWithoutSocketPacesItsErrors() {
    sender->repeat(newerFrame({TestDevice{}}));
    openWindow();
    QTRY_COMPARE(label(6)->text(), QStringLiteral("X = 0.00"));

    const quint16 takenPort = freeUdpPort();
    PortHolder holder(takenPort);
    QVERIFY(holder.bound);
    // Counted in the GUI thread: the signal comes from the receiver thread.
    QObject counting;
    int errors = 0;
    connect(Probe::receiver(*window), &TrackReceiver::sendMessageDataError, &counting,
            [&errors] { ++errors; });
    Probe::changePort(*window, QByteArray::number(takenPort));
    QCOMPARE(status(), QStringLiteral("Ombrix init error"));
    QVERIFY(Probe::client(*window) && !Probe::client(*window)->valid());

    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("error while receiving tracking data"),
                              settleMs);
    QTest::qWait(2500);
    QVERIFY2(errors >= 2 && errors <= 5,
             qPrintable(QStringLiteral("%1 error signals in about 2.5 s").arg(errors)));

    // A stop does not wait for the rest to end.
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 500);
}

// The slots read what the receiver thread published after a whole frame: with frames that
// alternate between two states, the panel always shows one of them, never a mix.
void TestPresentation::panelNeverShowsHalfAFrame() {
    TestDevice a, b;
    a.buttons = 0b11111;
    a.joystick = {0.5, 0.5};
    b.buttons = 0;
    b.joystick = {-0.5, -0.5};
    const QByteArray frameA = newerFrame({a, a, a}), frameB = newerFrame({b, b, b});
    sender->repeat(frameA);
    openWindow();

    // Queued to the GUI thread, after the window's own slot, so it runs right after each
    // frame was shown. The context object drops what is still queued when the test ends.
    QObject checking;
    int checked = 0, mixed = 0;
    connect(Probe::receiver(*window), &TrackReceiver::sendMessageDataArrived, &checking, [&] {
        ++checked;
        const QList<int> pressed = pressedButtons();
        const QString values = label(6)->text() + label(5)->text();
        const bool isA = pressed.size() == 5 && values == QLatin1String("X = 0.50Y = 0.50");
        const bool isB = pressed.isEmpty() && values == QLatin1String("X = -0.50Y = -0.50");
        if (!isA && !isB)
            ++mixed;
    });
    sender->cycle({frameA, frameB}, 1);
    QTest::qWait(1500);
    sender->repeat(frameA);
    QTRY_COMPARE(pressedButtons().size(), 5);
    QVERIFY2(checked > 100, qPrintable(QString::number(checked)));
    QCOMPARE(mixed, 0);
}

QTEST_MAIN(TestPresentation)
#include "tst_presentation.moc"
