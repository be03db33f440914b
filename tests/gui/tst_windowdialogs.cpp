// The main window's port dialog, help windows and About box, driven through the real window:
// the port dialog's outcome reaches the configuration file and moves reception.

#include "Ombrix.h"
#include "frames.h"
#include "framesender.h"
#include "helpbrowser.h"
#include "modalcloser.h"
#include "settingportdlg.h"
#include "skywandtesterprobe.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using Probe = SkywandtesterProbe;

namespace {

// Answers the port dialog once it is up: replaces the entry with `typed` and presses OK or
// Cancel. Records the text the dialog offered.
class PortDialogAnswer : public QObject {
public:
    PortDialogAnswer(const QString& typed, bool accept) : typed(typed), accept(accept) {
        connect(&timer, &QTimer::timeout, this, [this] { answer(); });
        timer.start(10);
    }
    QString offered;
    bool answered = false;

private:
    void answer() {
        auto* dialog = qobject_cast<SettingPortDlg*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || answered)
            return;
        answered = true;
        offered = dialog->lbl_port->text();
        dialog->lbl_port->setText(typed);
        QTest::mouseClick(accept ? dialog->btn_ok : dialog->btn_cancel, Qt::LeftButton);
    }
    QString typed;
    bool accept;
    QTimer timer;
};

} // namespace

class TestWindowDialogs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void acceptedNewPortIsStoredAndReceptionMoves();
    void entriesThatChangeNothing_data();
    void entriesThatChangeNothing();
    void leadingZeroMakesANewPortText();
    void helpOpensAWindowPerTrigger();
    void aboutBoxNamesTheTool();

private:
    QString portText() const { return QString::number(port); }
    void answerPortDialog(const QString& typed, bool accept, QString* offered = nullptr);

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;
};

void TestWindowDialogs::init() {
    port = freeUdpPort();
    Probe::writeConfig(QByteArray::number(port));
    sender = std::make_unique<FrameSender>(port);
    sender->repeat(newerFrame({TestDevice{}}));
    window = std::make_unique<Skywandtester>();
}

void TestWindowDialogs::cleanup() {
    window.reset();
    sender.reset();
    Probe::removeConfig();
    for (QWidget* topLevel : QApplication::topLevelWidgets())
        delete topLevel;
}

void TestWindowDialogs::answerPortDialog(const QString& typed, bool accept, QString* offered) {
    PortDialogAnswer answer(typed, accept);
    window->findChild<QAction*>(QStringLiteral("action_port"))->trigger();
    QVERIFY(answer.answered);
    if (offered)
        *offered = answer.offered;
}

void TestWindowDialogs::acceptedNewPortIsStoredAndReceptionMoves() {
    const quint16 newPort = freeUdpPort();
    FrameSender newSender(newPort);
    TestDevice device;
    device.joystick = {0.5, -0.5};
    newSender.repeat(newerFrame({device}));

    QString offered;
    answerPortDialog(QString::number(newPort), true, &offered);
    QCOMPARE(offered, portText());

    QCOMPARE(Probe::readConfig(), QByteArray::number(newPort));
    QCOMPARE(Probe::portText(*window), QByteArray::number(newPort));
    QCOMPARE(Probe::client(*window)->get_data_port(), newPort);
    QVERIFY(Probe::receiver(*window)->isRunning());
    auto* horizontal = window->findChild<QLabel*>(QStringLiteral("lbl_joyH"));
    QTRY_COMPARE(horizontal->text(), QStringLiteral("X = 0.50"));

    window.reset(); // while newSender still sends, so the last receive ends at once
}

void TestWindowDialogs::entriesThatChangeNothing_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accept");
    QTest::newRow("unchanged") << QString() << true;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("65535") << QStringLiteral("65535") << true;
    QTest::newRow("0") << QStringLiteral("0") << true;
    QTest::newRow("70000") << QStringLiteral("70000") << true;
    QTest::newRow("empty") << QStringLiteral("") << true;
    QTest::newRow("letters") << QStringLiteral("port") << true;
    QTest::newRow("too long") << QString(199, QLatin1Char('0')) + QStringLiteral("5001") << true;
    QTest::newRow("cancel") << QStringLiteral("5001") << false;
}

void TestWindowDialogs::entriesThatChangeNothing() {
    QFETCH(QString, typed);
    QFETCH(bool, accept);
    if (typed.isNull())
        typed = portText();
    Ombrix* client = Probe::client(*window);
    Probe::writeConfig("marker"); // any write would replace it

    answerPortDialog(typed, accept);

    QCOMPARE(Probe::readConfig(), QByteArray("marker"));
    QCOMPARE(Probe::portText(*window), QByteArray::number(port));
    QCOMPARE(Probe::client(*window), client); // not restarted
    QVERIFY(Probe::receiver(*window)->isRunning());
}

void TestWindowDialogs::leadingZeroMakesANewPortText() {
    // Counted in this thread: the signal comes from the receiver thread as it ends.
    int stopped = 0;
    QObject context;
    connect(
        Probe::receiver(*window), &QThread::finished, &context, [&] { ++stopped; },
        Qt::QueuedConnection);
    answerPortDialog(QStringLiteral("0") + portText(), true);
    QCOMPARE(Probe::readConfig(), "0" + QByteArray::number(port));
    QTRY_COMPARE(stopped, 1); // reception restarted, on the same port number
    QVERIFY(Probe::receiver(*window)->isRunning());
    QCOMPARE(Probe::client(*window)->get_data_port(), port);
    auto* status = window->findChild<QLabel*>(QStringLiteral("statusLabel"));
    QTRY_COMPARE(status->text(), statusLine(1, "0" + QByteArray::number(port)));
}

void TestWindowDialogs::helpOpensAWindowPerTrigger() {
    QAction* help = window->findChild<QAction*>(QStringLiteral("action_Help"));
    help->trigger();
    help->trigger();
    QList<QPointer<HelpBrowser>> windows;
    for (QWidget* topLevel : QApplication::topLevelWidgets())
        if (auto* browser = qobject_cast<HelpBrowser*>(topLevel))
            windows << browser;
    QCOMPARE(windows.size(), 2);
    for (const QPointer<HelpBrowser>& browser : windows) {
        QVERIFY(browser->isVisible());
        QCOMPARE(browser->size(), QSize(500, 400));
        QVERIFY(browser->isWindow());
        browser->close(); // closing deletes it
    }
    QTRY_VERIFY(!windows[0] && !windows[1]);
}

void TestWindowDialogs::aboutBoxNamesTheTool() {
    ModalCloser closer;
    window->findChild<QAction*>(QStringLiteral("action_info"))->trigger();
    QCOMPARE(closer.titles, QStringList{QStringLiteral("Skywandtester")});
    const QStringList lines = closer.texts.value(0).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Skywand tester tool."));
    QVERIFY(lines[1].contains(QLatin1String(qVersion())));
    QCOMPARE(closer.buttons.value(0), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(closer.icons.value(0), QMessageBox::Information);
}

QTEST_MAIN(TestWindowDialogs)
#include "tst_windowdialogs.moc"
