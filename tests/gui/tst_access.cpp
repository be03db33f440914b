// The tester for everyone: the device panel and the main window as a screen reader reads
// them through Qt's accessibility interfaces, and the Check window's colours on light and
// dark palettes, its default size against its longest texts, and Esc.
#include "buttonwidget.h"
#include "checkfeed.h"
#include "checkmarkstyle.h"
#include "checkwindow.h"
#include "framesender.h"
#include "joystickwidget.h"
#include "Ombrix.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>
#include <QTreeWidget>

#include <cmath>

namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// A six-button device in the check, its frames through a real client on loopback 10 ms apart
// on the controller's clock: every press of button 1 bounces once, the stick visits all eight
// directions and comes to rest off centre for the second a rest takes.
void feedLongResults(CheckFeed& feed) {
    Ombrix client("", 0, 0, 20000, 1000000, 0);
    QVERIFY(client.valid());
    UdpSocket controller;
    unsigned counter = 0;
    const auto frame = [&](quint32 buttons, double x, double y) {
        controller.send(client.get_data_port(),
                        FrameSender::frame({{6, buttons, x, y}}, ++counter).toStdString());
        QVERIFY(client.receive());
        feed.datagramRead(client.get_datagram());
        feed.framePublished(client, {client.get_skywand(0)});
    };
    for (int press = 0; press < 12; ++press)
        for (quint32 buttons : {1u, 0u, 1u, 0u})
            frame(buttons, 0, 0);
    for (int k = 0; k < 8; ++k)
        frame(0, 0.99 * std::cos(k * M_PI / 4), 0.99 * std::sin(k * M_PI / 4));
    for (int rest = 0; rest < 110; ++rest)
        frame(0, -0.01, 0.02);
}

} // namespace

class TestAccess : public WindowFixture {
    Q_OBJECT

private slots:
    void panelAsAScreenReaderReadsIt();
    void valueChangesAreAnnouncedAFewTimesASecond();
    void selectorAndWindowsHaveNamesAndRoles();
    void verdictColoursOnLightAndDark_data();
    void verdictColoursOnLightAndDark();
    void uncheckedBoxStandsOutOnADarkPalette();
    void defaultSizeShowsEveryResult_data();
    void defaultSizeShowsEveryResult();
};

void TestAccess::panelAsAScreenReaderReadsIt() {
    SkywandWidget panel;
    auto* button1 = panel.findChild<QLabel*>(QStringLiteral("lbl_btn1"));
    QCOMPARE(accessible(button1)->text(QAccessible::Description), QStringLiteral("released"));
    panel.setStyleSheet(0, panel.pressedStyle());
    QCOMPARE(accessible(button1)->text(QAccessible::Description), QStringLiteral("pressed"));

    QAccessibleInterface* indicator = accessible(panel.joystick());
    QCOMPARE(indicator->role(), QAccessible::Graphic);
    QCOMPARE(indicator->text(QAccessible::Name), QStringLiteral("Joystick"));
    panel.setFlValueH(0.45);
    panel.setFlValueV(0.6);
    panel.setJoystickPressed(true);
    QCOMPARE(indicator->text(QAccessible::Value), QStringLiteral("X 0.45, Y 0.60, pressed"));
}

// Frames at 200 a second change both values every time; their names stay, and their value
// texts reach a screen reader a few times a second. (Offscreen, Qt sends no events at all:
// the description changes that carry them are counted.)
void TestAccess::valueChangesAreAnnouncedAFewTimesASecond() {
    SkywandWidget panel;
    auto* x = panel.findChild<QLabel*>(QStringLiteral("lbl_joyH"));
    auto* y = panel.findChild<QLabel*>(QStringLiteral("lbl_joyV"));
    int changes = 0;
    QString said = x->accessibleDescription();
    QElapsedTimer clock;
    clock.start();
    for (int frame = 0; clock.elapsed() < 1500; ++frame) {
        const double value = (frame % 200) / 100.0 - 1.0;
        panel.setText(SkywandWidget::horizontalValueIndex, value);
        panel.setText(SkywandWidget::verticalValueIndex, -value);
        QTest::qWait(5);
        changes += x->accessibleDescription() != said;
        said = x->accessibleDescription();
    }
    QVERIFY2(changes >= 1 && changes <= 3, qPrintable(QString::number(changes)));
    QCOMPARE(accessible(x)->text(QAccessible::Name), QStringLiteral("Joystick X"));
    QCOMPARE(accessible(y)->text(QAccessible::Name), QStringLiteral("Joystick Y"));
    QTRY_COMPARE(accessible(y)->text(QAccessible::Description), y->text());
}

void TestAccess::selectorAndWindowsHaveNamesAndRoles() {
    openWindow(FrameSender::frame({FrameSender::Device{}}));
    QAccessibleInterface* selector =
        accessible(window->findChild<QComboBox*>(QStringLiteral("cboSkywand")));
    // On Linux Qt names a combo box after its current item and ties it to its label.
    const auto labels = selector->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), QStringLiteral("Skywand nr.:"));

    CheckFeed feed;
    QPointer<CheckWindow> check = new CheckWindow(feed, nullptr);
    QCOMPARE(accessible(check)->role(), QAccessible::Window);
    check->show();
    check->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(check));
    QTest::keyClick(check, Qt::Key_Escape);
    QTRY_VERIFY(!check);
}

void TestAccess::verdictColoursOnLightAndDark_data() {
    QTest::addColumn<QColor>("background");
    QTest::newRow("white") << QColor(Qt::white);
    QTest::newRow("Fusion light") << QColor(0xef, 0xef, 0xef);
    QTest::newRow("Fusion dark") << QColor(0x35, 0x35, 0x35);
    QTest::newRow("Adwaita dark") << QColor(0x24, 0x24, 0x24);
    QTest::newRow("black") << QColor(Qt::black);
}

void TestAccess::verdictColoursOnLightAndDark() {
    QFETCH(QColor, background);
    const QPalette palette(background);
    for (CheckVerdict verdict : {CheckVerdict::pass, CheckVerdict::fail, CheckVerdict::running}) {
        const double ratio =
            CheckWindow::contrast(CheckWindow::verdictColour(verdict, palette), background);
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(int(verdict)).arg(ratio)));
    }
}

// The darkest or lightest ink of an unticked box against the cell behind it.
void TestAccess::uncheckedBoxStandsOutOnADarkPalette() {
    CheckMarkStyle style;
    style.setBaseStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QStyleOptionViewItem option;
    option.palette = QPalette(QColor(0x35, 0x35, 0x35));
    option.palette.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    option.palette.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    option.palette.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    option.rect = QRect(0, 0, 16, 16);
    option.state = QStyle::State_Enabled | QStyle::State_Off;
    const QColor base = option.palette.color(QPalette::Base);
    QImage image(option.rect.size(), QImage::Format_ARGB32);
    image.fill(base);
    QPainter painter(&image);
    style.drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &option, &painter);
    painter.end();
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, CheckWindow::contrast(image.pixelColor(x, y), base));
    QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));
}

void TestAccess::defaultSizeShowsEveryResult_data() {
    QTest::addColumn<double>("scale");
    QTest::newRow("default font") << 1.0;
    QTest::newRow("large text (GTK's 1.25)") << 1.25;
}

// Every result in full at the window's default size: in its cell, on as many lines as the
// cell has, and every row and the figures inside the window.
void TestAccess::defaultSizeShowsEveryResult() {
    QFETCH(double, scale);
    const QFont original = QApplication::font();
    QFont font = original;
    font.setPointSizeF(original.pointSizeF() * scale);
    QApplication::setFont(font);
    CheckFeed feed;
    auto* check = new CheckWindow(feed, nullptr);
    feed.receiverStarted(5000);
    check->checkDevice(0, QStringLiteral("S1"));
    feedLongResults(feed);
    QMetaObject::invokeMethod(check, "refresh");
    QVERIFY(QTest::qWaitForWindowExposed(check));

    auto* tree = check->findChild<QTreeWidget*>();
    const QFontMetrics metrics(tree->font());
    QCOMPARE(tree->topLevelItemCount(), 8); // six buttons, the joystick, tracking
    QVERIFY(tree->topLevelItem(0)->text(1).contains(QLatin1String("bounce")));
    QVERIFY(tree->topLevelItem(6)->text(1).contains(QLatin1String(", rest ")));
    QVERIFY(tree->topLevelItem(7)->text(1).contains(QStringLiteral(", 0\u00a0unparsable, ")));
    // The text's margins in its cell, as item views take them from the style.
    const int margins = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    // At the default width, and narrower, where long results wrap.
    for (const int width : {check->width(), check->width() * 7 / 10}) {
        check->resize(width, check->height());
        QTest::qWait(20);
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QModelIndex index = tree->model()->index(i, 1);
            const QRect cell = tree->visualRect(index);
            const QRect needed = metrics.boundingRect(QRect(0, 0, cell.width() - margins, 1000),
                                                      Qt::TextWordWrap, index.data().toString());
            QVERIFY2(needed.height() <= cell.height() && tree->viewport()->rect().contains(cell),
                     qPrintable(
                         QStringLiteral("%1 at width %2").arg(index.data().toString()).arg(width)));
        }
    }
    auto* figures = check->findChild<QLabel*>(QStringLiteral("lbl_figures"));
    QVERIFY(figures->heightForWidth(figures->width()) <= figures->height());
    QVERIFY(check->rect().contains(figures->geometry()));
    delete check;
    QApplication::setFont(original);
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
