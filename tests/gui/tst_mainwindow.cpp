// The main window as a user meets it: its form, icon, menus and shortcuts, the port texts it
// accepts or rejects at start-up, its configuration file, and the two ways to end it.

#include "Ombrix.h"
#include "buttonwidget.h"
#include "frames.h"
#include "framesender.h"
#include "modalcloser.h"
#include "skywandtesterprobe.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWhatsThis>

#include <memory>

using Probe = SkywandtesterProbe;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formTextsAndObjects();
    void menusAndActions();
    void iconResource();
    void shortcutsTriggerTheirActions();
    void whatsThisActionEntersWhatsThisMode();
    void rejectedPortTexts_data();
    void rejectedPortTexts();
    void portTextWithBlankAndLettersIsUsed();
    void configurationContent_data();
    void configurationContent();
    void exitActionStopsThreadAndEndsLoop();
    void closingTheWindowEndsLikeExit();

private:
    quint16 port = 0;
};

void TestMainWindow::init() {
    port = freeUdpPort();
    Probe::writeConfig(QByteArray::number(port));
}

void TestMainWindow::cleanup() {
    Probe::removeConfig();
}

void TestMainWindow::formTextsAndObjects() {
    Skywandtester window;
    QCOMPARE(window.objectName(), QStringLiteral("SkywandtesterClass"));
    QCOMPARE(QString(window.metaObject()->className()), QStringLiteral("Skywandtester"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Skywandtester"));
    QCOMPARE(window.whatsThis(), QStringLiteral("Skywand tester tool"));
    QCOMPARE(window.size(), QSize(328, 475));

    QCOMPARE(childOf<QLabel>(window, "label")->text(), QStringLiteral("Skywand nr.:"));
    auto* selector = childOf<QComboBox>(window, "cboSkywand");
    QCOMPARE(selector->toolTip(), QStringLiteral("Select skywand number"));
    QCOMPARE(selector->whatsThis(), QStringLiteral("Select skywand number"));
    QVERIFY(!selector->isEditable());
    QCOMPARE(selector->count(), 0); // nothing was sent

    auto* frame = childOf<QFrame>(window, "frame_main");
    QCOMPARE(frame->toolTip(), QStringLiteral("Display for skywand joystick and buttons"));
    QCOMPARE(frame->whatsThis(), QStringLiteral("Display for skywand joystick and buttons"));
    QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frame->frameShadow(), QFrame::Sunken);
    QCOMPARE(frame->styleSheet(), QStringLiteral("background-color: white;"));
    auto* panel = frame->findChild<SkywandWidget*>();
    QVERIFY(panel);
    QCOMPARE(frame->layout()->indexOf(panel), 0);

    // The permanent status label starts with S0: no device is known yet.
    auto* status = childOf<QLabel>(window, "statusLabel");
    QCOMPARE(status->parentWidget(), window.statusBar());
    QCOMPARE(status->text(), statusLine(0, QByteArray::number(port)));
}

void TestMainWindow::menusAndActions() {
    Skywandtester window;
    const QList<QAction*> menus = window.menuBar()->actions();
    QStringList menuTitles;
    for (QAction* menu : menus)
        menuTitles << menu->text();
    QCOMPARE(menuTitles, (QStringList{"&File", "&Settings", "&Check", "&Help"}));

    // Each menu top to bottom: object name, text, shortcut, status tip, what's-this.
    const QList<QStringList> expected[] = {
        {{"action_exit", "E&xit", "Q", "Exit", "Exit"}},
        {{"action_port", "&Port settings", "F2", "Port settings", "Open port settings dialog"}},
        {{"action_find", "&Find my Skywand…", "F3",
          "Select the Skywand in your hand by pressing one of its buttons",
          "Asks you to press a button on the Skywand in your hand and selects that device"},
         {"action_check", "&Check Skywand…", "F4",
          "Check the selected Skywand: buttons, joystick and tracking",
          "Opens a checklist for the selected Skywand that ticks off every button, the "
          "joystick's eight directions and rest, and the tracking, and gives a verdict you can "
          "save as a report"}},
        {{"action_Help", "&Help", "F1", "", ""},
         {"actionWhat_s_this", "&What's this?", "", "", ""},
         {"", "", "", "", ""}, // separator
         {"action_info", "&About", "", "About", "Open about dialog"}},
    };
    for (int m = 0; m < 4; ++m) {
        QList<QStringList> actual;
        for (QAction* a : menus[m]->menu()->actions()) {
            QVERIFY(a->icon().isNull());
            actual << QStringList{a->objectName(), a->text(), a->shortcut().toString(),
                                  a->statusTip(), a->whatsThis()};
        }
        QCOMPARE(actual, expected[m]);
    }
    auto* about = childOf<QAction>(window, "action_info");
    QCOMPARE(about->iconText(), QStringLiteral("About"));
    QCOMPARE(about->toolTip(), QStringLiteral("About"));
}

void TestMainWindow::iconResource() {
    const QPixmap pixmap(QStringLiteral(":/Skywandtester/Resources/ombrix.ico"));
    QVERIFY(!pixmap.isNull());

    Skywandtester window;
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    QVERIFY2(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)),
             "the window icon needs a 16 x 16 and a 32 x 32 image");
    // The artwork is not blank: the 32 x 32 image has opaque and transparent pixels.
    const QImage image = window.windowIcon().pixmap(QSize(32, 32)).toImage();
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(16, 16)), 255);
}

void TestMainWindow::shortcutsTriggerTheirActions() {
    Skywandtester window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ModalCloser closer; // F2's port dialog is modal

    QSignalSpy help(childOf<QAction>(window, "action_Help"), &QAction::triggered);
    QSignalSpy portSettings(childOf<QAction>(window, "action_port"), &QAction::triggered);
    QSignalSpy exitAction(childOf<QAction>(window, "action_exit"), &QAction::triggered);
    QTest::keyClick(&window, Qt::Key_F2);
    QCOMPARE(portSettings.count(), 1);
    QCOMPARE(closer.dialogsRejected, 1);
    window.activateWindow(); // back from the dialog
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QCOMPARE(help.count(), 1);
    QCOMPARE(exitAction.count(), 0);

    // The help window took the focus; Q goes to the main window.
    for (QWidget* topLevel : QApplication::topLevelWidgets())
        if (topLevel != &window)
            topLevel->close();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Q alone ends the program: the receiver thread is stopped on the way.
    QVERIFY(Probe::receiver(window)->isRunning());
    QTest::keyClick(&window, Qt::Key_Q);
    QCOMPARE(exitAction.count(), 1);
    QVERIFY(Probe::receiver(window)->isFinished());
}

void TestMainWindow::whatsThisActionEntersWhatsThisMode() {
    Skywandtester window;
    const QString status = childOf<QLabel>(window, "statusLabel")->text();
    childOf<QAction>(window, "actionWhat_s_this")->trigger();
    QVERIFY(QWhatsThis::inWhatsThisMode());
    QWhatsThis::leaveWhatsThisMode();
    QCOMPARE(childOf<QLabel>(window, "statusLabel")->text(), status);
}

void TestMainWindow::rejectedPortTexts_data() {
    QTest::addColumn<QByteArray>("portText");
    QTest::addColumn<bool>("messageBox"); // else the status label says so

    QTest::newRow("letters") << QByteArray("abc") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("blank") << QByteArray("   ") << true;
    QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << true;
    QTest::newRow("zero") << QByteArray("0") << false;
    QTest::newRow("negative") << QByteArray("-1") << false;
    QTest::newRow("just above 65535") << QByteArray("65536") << false;
    QTest::newRow("70000") << QByteArray("70000") << false;
}

// No client is created, nothing is called through the missing one, the window still comes
// up and ends cleanly.
void TestMainWindow::rejectedPortTexts() {
    QFETCH(QByteArray, portText);
    QFETCH(bool, messageBox);

    Probe::writeConfig(portText);
    ModalCloser closer;
    auto window = std::make_unique<Skywandtester>();

    if (messageBox) {
        QCOMPARE(closer.titles, QStringList{QStringLiteral("Skywand tester")});
        QCOMPARE(closer.texts, QStringList{QStringLiteral("Wrong data port")});
        QCOMPARE(closer.buttons.value(0), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(closer.icons.value(0), QMessageBox::Warning);
        QCOMPARE(childOf<QLabel>(*window, "statusLabel")->text(), statusLine(0, portText));
    } else {
        QVERIFY(closer.titles.isEmpty());
        QCOMPARE(childOf<QLabel>(*window, "statusLabel")->text(),
                 QStringLiteral("Illegal data port"));
    }
    QVERIFY(!Probe::client(*window));
    QVERIFY(!Probe::receiver(*window)->isRunning());
    QCOMPARE(childOf<QComboBox>(*window, "cboSkywand")->count(), 0);

    QTest::qWait(50); // the event loop runs with the idle window
    window.reset();
    QCOMPARE(Probe::readConfig(), portText); // written back unchanged
}

void TestMainWindow::portTextWithBlankAndLettersIsUsed() {
    const QByteArray portText = ' ' + QByteArray::number(port) + "xyz";
    Probe::writeConfig(portText);
    FrameSender sender(port);
    sender.repeat(newerFrame({TestDevice{}}));
    Skywandtester window;

    QVERIFY(Probe::client(window));
    QCOMPARE(Probe::client(window)->get_data_port(), port);
    QTRY_COMPARE(childOf<QComboBox>(window, "cboSkywand")->count(), 1);
    // The status line shows the text as it is, blank and letters included.
    QCOMPARE(childOf<QLabel>(window, "statusLabel")->text(), statusLine(1, portText));
}

void TestMainWindow::configurationContent_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("portTextSuffix"); // after the port number
    QTest::addColumn<bool>("portUsed");

    QTest::newRow("line feed kept") << QByteArray("\n") << QByteArray("\n") << true;
    QTest::newRow("cut at a NUL byte") << QByteArray("\0junk", 5) << QByteArray() << true;
    // Content longer than the port text can hold is cut to 199 characters.
    QTest::newRow("too long") << QByteArray(300, '7') << QByteArray(199 - 5, '7') << false;
}

void TestMainWindow::configurationContent() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, portTextSuffix);
    QFETCH(bool, portUsed);

    // A five-digit port keeps the "too long" arithmetic simple.
    while (port < 10000)
        port = freeUdpPort();
    const QByteArray number = QByteArray::number(port);
    Probe::writeConfig(number + content);
    const QByteArray portText = number + portTextSuffix;

    ModalCloser closer; // the long text is beyond 32 bits: "Wrong data port"
    auto window = std::make_unique<Skywandtester>();
    QCOMPARE(Probe::portText(*window), portText);
    QCOMPARE(childOf<QLabel>(*window, "statusLabel")->text(), statusLine(0, portText));
    QCOMPARE(Probe::client(*window) != nullptr, portUsed);
    QCOMPARE(closer.texts.isEmpty(), portUsed);

    window.reset();
    QCOMPARE(Probe::readConfig(), portText); // exactly the port text, no line end added
}

void TestMainWindow::exitActionStopsThreadAndEndsLoop() {
    auto window = std::make_unique<Skywandtester>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    TrackReceiver* receiver = Probe::receiver(*window);
    QVERIFY(receiver->isRunning());

    QElapsedTimer clock;
    QCOMPARE(runEventLoop(window.get(), 0, 5000,
                          [&] {
                              clock.start();
                              childOf<QAction>(*window, "action_exit")->trigger();
                          }),
             0);
    // Nothing is sent, so the thread finished when its receive timed out.
    QVERIFY(clock.elapsed() < 1800);
    QVERIFY(receiver->isFinished());

    Probe::writeConfig("changed");
    window.reset();
    QCOMPARE(Probe::readConfig(), QByteArray::number(port));
    QVERIFY(udpPortIsFree(port)); // the client was deleted and its socket closed
}

void TestMainWindow::closingTheWindowEndsLikeExit() {
    auto window = std::make_unique<Skywandtester>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QCOMPARE(runEventLoop(window.get(), 0, 5000, [&] { window->close(); }), 0);

    // The loop ended without Exit: the destructor stops the thread before deleting the client.
    QVERIFY(Probe::receiver(*window)->isRunning());
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 1800);
    QVERIFY(udpPortIsFree(port));
    QCOMPARE(Probe::readConfig(), QByteArray::number(port));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
