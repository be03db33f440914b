// The device check in the real tester: frames over UDP on loopback find the device in hand
// and drive the Check window's checklist to a pass, and the saved report says so.

#include "checkwindow.h"
#include "skywandtesterprobe.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

// S1 lies with its button 1 held; S2 is the device in hand.
QByteArray frame(quint32 s2Buttons) {
    return FrameSender::frame({{6, 0b1}, {6, s2Buttons}});
}

} // namespace

template <typename T> T* childOf(QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

class TestCheckWindow : public WindowFixture {
    Q_OBJECT

private slots:
    void findThenCheckTheDeviceInHand();
};

// The lab's flow: Find selects the device in hand, Check takes it to a pass, the report says so.
void TestCheckWindow::findThenCheckTheDeviceInHand() {
    openWindow(frame(0));
    Skywandtester& window = *this->window;
    auto* selector = childOf<QComboBox>(window, "cboSkywand");
    QTRY_COMPARE(selector->count(), 2);

    // S1's held button does not count; S2's press, once the dialog waits, does.
    QTimer::singleShot(300, &window, [&] { sender->cycle({frame(0), frame(0b10)}, 10); });
    // A dialog that never finds the device fails the test below instead of hanging it.
    QTimer::singleShot(10000, &window, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    childOf<QAction>(window, "action_find")->trigger();
    QCOMPARE(selector->currentIndex(), 1);

    sender->stop(); // the sequence below starts from its first frame
    childOf<QAction>(window, "action_check")->trigger();
    auto* check = window.findChild<CheckWindow*>();
    QVERIFY(check && check->isVisible());
    QList<QByteArray> passing;
    for (const std::string& frame : passingCheck(1))
        passing << QByteArray::fromStdString(frame);
    sender->cycle(passing, 10);
    auto* verdict = childOf<QLabel>(*check, "lbl_verdict");
    QTRY_COMPARE_WITH_TIMEOUT(verdict->text(), QStringLiteral("PASS"), 20000);

    // Six buttons (the sixth is the joystick press), the joystick and the tracking, all ticked.
    auto* checklist = childOf<QTreeWidget>(*check, "tree_items");
    QCOMPARE(checklist->topLevelItemCount(), 8);
    for (int i = 0; i < checklist->topLevelItemCount(); ++i)
        QCOMPARE(checklist->topLevelItem(i)->checkState(0), Qt::Checked);

    // Saving writes a new file in the place of the old, so each reading opens it anew.
    QTemporaryDir folder;
    const QString path = folder.filePath(CheckWindow::defaultReportName("S2", {}));
    const auto saved = [&] {
        QFile file(path);
        return check->saveReportTo(path) && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                           : QByteArray();
    };
    const QByteArray report = saved();
    for (const QByteArray& entry :
         {QByteArray("\"device\": \"S2\""), QByteArray("\"verdict\": \"pass\""),
          "\"port\": " + QByteArray::number(port)})
        QVERIFY2(report.contains(entry), report.constData());

    // A port change stops a running check; checking again runs on the port as the receiver
    // read it.
    childOf<QPushButton>(*check, "btn_restart")->click();
    SkywandtesterProbe::changePort(window, QByteArray::number(port) + " # lab");
    QTRY_COMPARE(verdict->text(), QStringLiteral("stopped: the data port changed"));
    childOf<QAction>(window, "action_check")->trigger();
    QTRY_COMPARE(verdict->text(), QStringLiteral("checking…"));
    QVERIFY2(saved().contains("\"port\": " + QByteArray::number(port)), "port lost");
}

QTEST_MAIN(TestCheckWindow)
#include "tst_checkwindow.moc"
