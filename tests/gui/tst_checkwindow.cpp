// The device check in the real tester: frames over UDP on loopback find the device in hand
// and drive the Check window's checklist to a pass, and the saved report says so.

#include "checkwindow.h"
#include "frames.h"
#include "framesender.h"
#include "skywandtesterprobe.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cmath>
#include <memory>

namespace {

// S1 lies with its button 1 held; S2 is the device in hand.
QByteArray frame(quint32 s2Buttons, double x = 0, double y = 0, unsigned counter = 1) {
    TestDevice lying, inHand;
    lying.buttons = 0b1;
    inHand.buttons = s2Buttons;
    inHand.joystick = {x, y};
    return newerFrame({lying, inHand}, counter);
}

// Every button of S2 pressed and released, the stick at its edge in all eight directions,
// then resting for more than a second at 10 ms per frame.
QList<QByteArray> passingSequence() {
    QList<QByteArray> frames{frame(0)};
    const auto next = [&frames](quint32 buttons, double x = 0, double y = 0) {
        frames << frame(buttons, x, y, unsigned(frames.size()) + 1);
    };
    for (int k = 0; k < 6; ++k) {
        next(1u << k);
        next(0);
    }
    for (int k = 0; k < 8; ++k)
        next(0, 0.95 * std::cos(k * M_PI / 4), 0.95 * std::sin(k * M_PI / 4));
    while (frames.size() < 140)
        next(0, 0.01, -0.02);
    return frames;
}

} // namespace

class TestCheckWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void findSelectsTheDeviceWhoseButtonGoesDown();
    void checkPassesOnRealFrames();

private:
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;
    quint16 port = 0;
};

void TestCheckWindow::init() {
    port = freeUdpPort();
    SkywandtesterProbe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
    sender->repeat(frame(0), 10);
    window = std::make_unique<Skywandtester>();
    window->show();
    QTRY_COMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 2);
}

void TestCheckWindow::cleanup() {
    window.reset();
    sender.reset();
    SkywandtesterProbe::removeConfig();
}

void TestCheckWindow::findSelectsTheDeviceWhoseButtonGoesDown() {
    // S1's held button does not count; S2's press, once the dialog waits, does.
    QTimer::singleShot(300, [this] { sender->cycle({frame(0), frame(0b10)}, 10); });
    QTimer::singleShot(10000, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close(); // a dialog that never finds the device fails below, not by hanging
    });
    childOf<QAction>(*window, "action_find")->trigger();
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->currentIndex(), 1);
}

void TestCheckWindow::checkPassesOnRealFrames() {
    childOf<QComboBox>(*window, "cboSkywand")->setCurrentIndex(1);
    childOf<QAction>(*window, "action_check")->trigger();
    auto* check = window->findChild<CheckWindow*>();
    QVERIFY(check && check->isVisible());
    sender->cycle(passingSequence(), 10);
    QTRY_COMPARE_WITH_TIMEOUT(childOf<QLabel>(*check, "lbl_verdict")->text(),
                              QStringLiteral("PASS"), 20000);

    // Six buttons (the sixth is the joystick press), the joystick and the tracking, all ticked.
    auto* checklist = childOf<QTreeWidget>(*check, "tree_items");
    QCOMPARE(checklist->topLevelItemCount(), 8);
    for (int i = 0; i < checklist->topLevelItemCount(); ++i)
        QCOMPARE(checklist->topLevelItem(i)->checkState(0), Qt::Checked);

    QTemporaryDir folder;
    const QString path = folder.filePath(CheckWindow::defaultReportName("S2", {}));
    QVERIFY(check->saveReportTo(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(report["device"].toString(), QStringLiteral("S2"));
    QCOMPARE(report["verdict"].toString(), QStringLiteral("pass"));
    QCOMPARE(report["port"].toInt(), int(port));
    QCOMPARE(report["buttons"].toArray().size(), 6);
    QCOMPARE(report["joystick"]["directions_reached"].toInt(), 8);
    QVERIFY(report["tracking"]["tracked_share"].toDouble() >= 0.95);
}

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
