// The tester's display path under frames faster than any screen: the newest frame always ends
// up on the screen, the screen always ends up as a full repaint of the window would paint it,
// and frames that change nothing visible cost no repaint.

#include "frames.h"
#include "framesender.h"
#include "joystickwidget.h"
#include "skywandtesterprobe.h"

#include <QBackingStore>
#include <QLabel>
#include <QTest>

#include <cmath>
#include <memory>

using Probe = SkywandtesterProbe;

namespace {

// Counts the paint events of every widget.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Frames 1 ms apart, each device's joystick a little further round a circle and its pressed
// button moving on every 40 frames.
QList<QByteArray> circlingFrames(int count) {
    QList<QByteArray> frames;
    for (int i = 0; i < count; ++i) {
        TestDevice device;
        device.buttons = 1u << (i / 40 % 6);
        device.joystick = {std::cos(i * 0.05), std::sin(i * 0.05)};
        frames << newerFrame({device, device}, static_cast<unsigned>(i + 1));
    }
    return frames;
}

} // namespace

class TestDisplayPath : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newestFrameEndsUpOnTheScreen();
    void unchangedFramesCostNoRepaint();

private:
    void openWindow();
    QString labelText(const char* name) const;
    bool screenShowsAFullRepaint() const;

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;
};

void TestDisplayPath::init() {
    port = freeUdpPort();
    Probe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
}

void TestDisplayPath::cleanup() {
    window.reset();
    sender.reset();
    Probe::removeConfig();
}

void TestDisplayPath::openWindow() {
    window = std::make_unique<Skywandtester>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

QString TestDisplayPath::labelText(const char* name) const {
    return childOf<QLabel>(*window, name)->text();
}

// The window's backing store, which every repaint goes through on its way to the screen,
// against a fresh rendering of the whole window.
bool TestDisplayPath::screenShowsAFullRepaint() const {
    const QImage* store = static_cast<const QImage*>(window->backingStore()->paintDevice());
    const QImage onScreen = store->copy(window->rect()).convertToFormat(QImage::Format_RGB32);
    return onScreen == window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void TestDisplayPath::newestFrameEndsUpOnTheScreen() {
    const QList<QByteArray> burst = circlingFrames(300);
    sender->repeat(burst.first());
    openWindow();
    for (int round = 0; round < 3; ++round) {
        sender->cycle(burst, 1);
        QTest::qWait(150);

        // The burst stops on a frame of its own, which stays.
        TestDevice last;
        last.buttons = 0b100101; // buttons 1 and 3, joystick pressed
        last.joystick = {0.4321 - round, -0.9876};
        sender->repeat(newerFrame({last, last}, 1000), 5);
        const QString horizontal = QStringLiteral("X = %1").arg(0.4321 - round, 0, 'f', 2);
        QTRY_COMPARE(labelText("lbl_joyH"), horizontal);
        QCOMPARE(labelText("lbl_joyV"), QStringLiteral("Y = -0.99"));
        auto* indicator = window->findChild<JoystickWidget*>();
        QCOMPARE(indicator->valueH(), double(float(0.4321 - round)));
        QVERIFY(indicator->isJoystickPressed());
        // Within a refresh interval the screen shows it, knob, labels and all.
        QTRY_VERIFY_WITH_TIMEOUT(screenShowsAFullRepaint(), 1000);
    }
}

void TestDisplayPath::unchangedFramesCostNoRepaint() {
    TestDevice still;
    still.buttons = 0b10;
    still.joystick = {0.25, -0.5};
    const QByteArray frame = newerFrame({still, still});
    sender->repeat(frame, 1);
    openWindow();
    QTRY_COMPARE(labelText("lbl_joyH"), QStringLiteral("X = 0.25"));
    QTRY_VERIFY_WITH_TIMEOUT(screenShowsAFullRepaint(), 1000);
    QTest::qWait(100);

    // Hundreds of frames, each handled, none changing what is shown.
    PaintCounter counter;
    QTest::qWait(300);
    QCOMPARE(counter.paints, 0);
    QVERIFY(screenShowsAFullRepaint());
}

QTEST_MAIN(TestDisplayPath)
#include "tst_displaypath.moc"
