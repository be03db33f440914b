// The device panel: label texts, styles, value formats, layout order and the joystick's
// pressable rule.

#include "buttonwidget.h"
#include "joystickwidget.h"
#include "screenstate.h"

#include <QBackingStore>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QTest>

#include <limits>

namespace {

const char* const buttonNames[] = {"lbl_btn1", "lbl_btn2", "lbl_btn3", "lbl_btn4", "lbl_btn5"};
const QString released = QStringLiteral("background-color: lightgray; color: black;");
const QString pressed = QStringLiteral("background-color: red; color: white;");
const QString valueStyle = QStringLiteral("background-color: white; color: black;;");

QLabel* labelOf(const SkywandWidget& panel, const char* name) {
    auto* label = panel.findChild<QLabel*>(QLatin1String(name));
    if (!label)
        qFatal("panel label %s missing", name);
    return label;
}

QLabel* labelAt(const SkywandWidget& panel, int index) {
    const char* const names[] = {"lbl_btn1", "lbl_btn2", "lbl_btn3", "lbl_btn4",
                                 "lbl_btn5", "lbl_joyV", "lbl_joyH"};
    return labelOf(panel, names[index]);
}

// The colour a label's style sheet actually paints, taken at the top right corner, away
// from the text.
QColor backgroundOf(QLabel* label) {
    const QImage image = label->grab().toImage();
    return image.pixelColor(image.width() - 2, 1);
}

// Counts the events of one type a widget receives.
class EventCounter : public QObject {
public:
    EventCounter(QWidget* watched, QEvent::Type type) : type(type) {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type)
            ++count;
        return false;
    }

private:
    QEvent::Type type;
};

} // namespace

class TestSkywandWidget : public QObject {
    Q_OBJECT

private slots:
    void newPanelShowsButtonsAndZeroValues();
    void stylesPaintTheirColours();
    void layoutOrder();
    void valueFormat_data();
    void valueFormat();
    void pressedOnlyWhilePressable();
    void hideAndShowKeepTextAndStyle();
    void indexesOutsideThePanelAreIgnored();
    void valueTextAsTheTemplateGives_data();
    void valueTextAsTheTemplateGives();
    void everyDistinctValueIsShown();
    void textNeedingTheSameRoomLaysNothingOut();
    void textNeedingMoreRoomIsLaidOut();
    void updateIndicatorRepaintsTheKnobAlone();
};

void TestSkywandWidget::newPanelShowsButtonsAndZeroValues() {
    SkywandWidget panel;
    QCOMPARE(panel.objectName(), QStringLiteral("ButtonWidgetClass"));
    QCOMPARE(panel.windowTitle(), QStringLiteral("ButtonWidget"));
    for (int i = 0; i < 5; ++i) {
        QLabel* label = labelOf(panel, buttonNames[i]);
        QCOMPARE(label->text(), QStringLiteral("Button %1").arg(i + 1));
        QCOMPARE(label->styleSheet(), released);
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignHCenter | Qt::AlignVCenter);
    }
    for (const char* name : {"lbl_joyV", "lbl_joyH"}) {
        QLabel* label = labelOf(panel, name);
        QCOMPARE(label->text(), QStringLiteral("0.00"));
        QCOMPARE(label->styleSheet(), valueStyle);
        QCOMPARE(label->alignment(), Qt::AlignLeft);
    }
    JoystickWidget* indicator = panel.findChild<JoystickWidget*>();
    QVERIFY(indicator);
    QCOMPARE(indicator, panel.joystick());
    QVERIFY(!indicator->isJoystickPressed());
    QCOMPARE(indicator->valueH(), 0.0);
    QCOMPARE(indicator->valueV(), 0.0);
}

void TestSkywandWidget::stylesPaintTheirColours() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.setStyleSheet(1, SkywandWidget::pressedStyle());
    QCOMPARE(SkywandWidget::pressedStyle(), pressed);
    QCOMPARE(SkywandWidget::releasedStyle(), released);
    QCOMPARE(backgroundOf(labelAt(panel, 0)),
             QColor(QStringLiteral("lightgray")) /* CSS lightgray, #d3d3d3 */);
    QCOMPARE(backgroundOf(labelAt(panel, 1)), QColor(Qt::red));
    QCOMPARE(backgroundOf(labelAt(panel, 5)), QColor(Qt::white));
    QCOMPARE(labelAt(panel, 1)->palette().color(QPalette::WindowText), QColor(Qt::white));

    // Setting the same style again (as every frame does) keeps the picture.
    panel.setStyleSheet(1, SkywandWidget::pressedStyle());
    QCOMPARE(backgroundOf(labelAt(panel, 1)), QColor(Qt::red));
    panel.setStyleSheet(1, SkywandWidget::releasedStyle());
    QCOMPARE(backgroundOf(labelAt(panel, 1)),
             QColor(QStringLiteral("lightgray")) /* CSS lightgray, #d3d3d3 */);
    QCOMPARE(labelAt(panel, 1)->palette().color(QPalette::WindowText), QColor(Qt::black));
}

void TestSkywandWidget::layoutOrder() {
    SkywandWidget panel;
    panel.resize(310, 500);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const auto top = [&](int index) { return labelAt(panel, index)->geometry().top(); };
    const auto left = [&](int index) { return labelAt(panel, index)->geometry().left(); };
    const QRect indicator = panel.joystick()->geometry();

    QVERIFY(top(6) < top(5));   // X above Y
    QCOMPARE(left(6), left(5)); // at the left
    QVERIFY(labelAt(panel, 5)->geometry().bottom() < indicator.top());
    QVERIFY(indicator.bottom() < top(4)); // the indicator above the buttons
    QVERIFY(indicator.height() > 200);    // and takes the spare room
    for (int i : {1, 2, 3})
        QCOMPARE(top(i), top(4)); // buttons 5-4-3-2 in one row
    QVERIFY(left(4) < left(3));
    QVERIFY(left(3) < left(2));
    QVERIFY(left(2) < left(1));
    QVERIFY(top(0) > labelAt(panel, 4)->geometry().bottom()); // button 1 below them
}

void TestSkywandWidget::valueFormat_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("vertical") << 5 << 0.123 << "Y = 0.12";
    QTest::newRow("horizontal") << 6 << -1.0 << "X = -1.00";
    QTest::newRow("button label, no prefix") << 0 << 2.5 << "2.50";
    QTest::newRow("two decimals") << 5 << 0.5 << "Y = 0.50";
    QTest::newRow("rounds") << 6 << 0.666 << "X = 0.67";
    QTest::newRow("zero") << 5 << 0.0 << "Y = 0.00";
    QTest::newRow("large") << 6 << 12345.678 << "X = 12345.68";
}

// The full stop stays whatever the locale: a German locale would write a comma.
void TestSkywandWidget::valueFormat() {
    QFETCH(int, index);
    QFETCH(double, value);
    QFETCH(QString, text);

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    SkywandWidget panel;
    panel.setText(index, value);
    QLocale::setDefault(before);
    QCOMPARE(labelAt(panel, index)->text(), text);
}

void TestSkywandWidget::pressedOnlyWhilePressable() {
    SkywandWidget panel;
    JoystickWidget* indicator = panel.joystick();

    panel.setJoystickPressed(true);
    QVERIFY(indicator->isJoystickPressed());

    panel.joystickIsPressable(false);
    panel.setJoystickPressed(false);
    QVERIFY(indicator->isJoystickPressed()); // keeps its previous state
    panel.joystickIsPressable(true);
    panel.setJoystickPressed(false);
    QVERIFY(!indicator->isJoystickPressed());

    panel.joystickIsPressable(false);
    panel.setJoystickPressed(true);
    QVERIFY(!indicator->isJoystickPressed());
    panel.joystickIsPressable(true);
    panel.setJoystickPressed(true);
    QVERIFY(indicator->isJoystickPressed());
}

void TestSkywandWidget::hideAndShowKeepTextAndStyle() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QLabel* button5 = labelAt(panel, 4);

    panel.setStyleSheet(4, pressed);
    panel.hide(4);
    QVERIFY(!button5->isVisible());
    QVERIFY(labelAt(panel, 3)->isVisible());
    panel.show(4);
    QVERIFY(button5->isVisible());
    QCOMPARE(button5->text(), QStringLiteral("Button 5"));
    QCOMPARE(button5->styleSheet(), pressed);

    panel.hide(6);
    QVERIFY(!labelAt(panel, 6)->isVisible());
    QVERIFY(labelAt(panel, 5)->isVisible());
    QVERIFY(panel.isVisible()); // the panel's own show and hide stay what they are
}

void TestSkywandWidget::indexesOutsideThePanelAreIgnored() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    for (int index : {-1, 7, 100, -1000}) {
        panel.hide(index);
        panel.setText(index, 1.0);
        panel.setText(index, QStringLiteral("x"));
        panel.setStyleSheet(index, pressed);
    }
    for (int i = 0; i < 7; ++i) {
        QLabel* label = labelAt(panel, i);
        QVERIFY(label->isVisible());
        QVERIFY(label->text() != QStringLiteral("x"));
        QVERIFY(label->styleSheet() != pressed);
    }
    QVERIFY(panel.isVisible());
}

// The text is the template "%1" with the value in fixed notation, two decimals, whatever the
// value: also values from a hostile network.
void TestSkywandWidget::valueTextAsTheTemplateGives_data() {
    QTest::addColumn<double>("value");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("negative zero") << -0.0;
    QTest::newRow("a half-way binary value") << 0.125;
    QTest::newRow("just below a half-way decimal") << 2.675;
    QTest::newRow("huge") << 1e300;
    QTest::newRow("tiny negative") << -1e-300;
    QTest::newRow("infinite") << inf;
    QTest::newRow("minus infinite") << -inf;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("float joystick value") << double(-0.7071068f);
}

void TestSkywandWidget::valueTextAsTheTemplateGives() {
    QFETCH(double, value);
    SkywandWidget panel;
    panel.setText(SkywandWidget::horizontalValueIndex, value);
    QCOMPARE(labelAt(panel, SkywandWidget::horizontalValueIndex)->text(),
             QStringLiteral("X = ") + QStringLiteral("%1").arg(value, 0, 'f', 2, QLatin1Char(' ')));
}

// A value is formatted once and then recognised; nothing that changes the text may be taken
// for the same value.
void TestSkywandWidget::everyDistinctValueIsShown() {
    SkywandWidget panel;
    QLabel* vertical = labelAt(panel, SkywandWidget::verticalValueIndex);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    panel.setText(SkywandWidget::verticalValueIndex, 0.0);
    QCOMPARE(vertical->text(), QStringLiteral("Y = 0.00"));
    // Equal to 0.0 but other bits: formatted anew, as the template gives it.
    panel.setText(SkywandWidget::verticalValueIndex, -0.0);
    QCOMPARE(vertical->text(), QStringLiteral("Y = %1").arg(-0.0, 0, 'f', 2, QLatin1Char(' ')));
    panel.setText(SkywandWidget::verticalValueIndex, 0.5);
    panel.setText(SkywandWidget::verticalValueIndex, QStringLiteral("typed over"));
    panel.setText(SkywandWidget::verticalValueIndex, 0.5); // the same value as before the text
    QCOMPARE(vertical->text(), QStringLiteral("Y = 0.50"));
    panel.setText(SkywandWidget::verticalValueIndex, nan);
    panel.setText(SkywandWidget::verticalValueIndex, nan);
    QCOMPARE(vertical->text(), QStringLiteral("Y = nan"));
    // Each label keeps its own value: the same value on the other label is formatted there.
    panel.setText(SkywandWidget::horizontalValueIndex, nan);
    QCOMPARE(labelAt(panel, SkywandWidget::horizontalValueIndex)->text(),
             QStringLiteral("X = nan"));
    panel.setText(SkywandWidget::verticalValueIndex, 0.25);
    QCOMPARE(vertical->text(), QStringLiteral("Y = 0.25"));
}

// A value label's new text asks for a new layout of the panel, and through it of the whole
// window, many times a second. When the label needs the same room as before, that is skipped.
void TestSkywandWidget::textNeedingTheSameRoomLaysNothingOut() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QLabel* horizontal = labelAt(panel, SkywandWidget::horizontalValueIndex);
    panel.setText(SkywandWidget::horizontalValueIndex, 0.11);
    settle();
    const QSize hint = horizontal->sizeHint();
    const QRect geometry = horizontal->geometry();

    EventCounter layoutRequests(&panel, QEvent::LayoutRequest);
    for (double value : {0.22, 0.33, 0.88, 0.11}) {
        panel.setText(SkywandWidget::horizontalValueIndex, value);
        if (horizontal->sizeHint() != hint)
            QSKIP("this font's digits differ in width");
    }
    settle();
    QCOMPARE(layoutRequests.count, 0);
    QCOMPARE(horizontal->text(), QStringLiteral("X = 0.11"));
    QCOMPARE(horizontal->geometry(), geometry);

    // Other changes still lay out.
    panel.hide(4);
    settle();
    QCOMPARE(layoutRequests.count, 1);
}

void TestSkywandWidget::textNeedingMoreRoomIsLaidOut() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QLabel* horizontal = labelAt(panel, SkywandWidget::horizontalValueIndex);
    panel.setText(SkywandWidget::horizontalValueIndex, 0.5);
    settle();

    // A value from the network far wider than the panel: the panel must grow to show it, as
    // it does for any label whose text needs more room.
    const int usualMinimum = panel.minimumWidth();
    panel.setText(SkywandWidget::horizontalValueIndex, 1e60);
    settle();
    QVERIFY(horizontal->minimumSizeHint().width() > usualMinimum);
    QVERIFY(panel.minimumWidth() > horizontal->minimumSizeHint().width());
    QVERIFY(horizontal->width() >= horizontal->minimumSizeHint().width());

    // And back again.
    panel.setText(SkywandWidget::horizontalValueIndex, 0.5);
    settle();
    QCOMPARE(panel.minimumWidth(), usualMinimum);
}

// The owner's repaint request after a frame: the knob's pixels are repainted, the labels only
// when they changed, and the screen shows what a repaint of the whole panel would.
void TestSkywandWidget::updateIndicatorRepaintsTheKnobAlone() {
    SkywandWidget panel;
    panel.resize(310, 420);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.updateIndicator();
    settle();

    QList<EventCounter*> labelPaints;
    for (int i = 0; i < SkywandWidget::panelSize; ++i)
        labelPaints << new EventCounter(labelAt(panel, i), QEvent::Paint);
    EventCounter indicatorPaints(panel.joystick(), QEvent::Paint);

    panel.setFlValueH(0.4);
    panel.setFlValueV(-0.2);
    panel.setJoystickPressed(true);
    panel.updateIndicator();
    settle();
    QCOMPARE(indicatorPaints.count, 1);
    for (EventCounter* counter : labelPaints)
        QCOMPARE(counter->count, 0);
    QCOMPARE(onScreen(panel), panel.grab().toImage().convertToFormat(QImage::Format_RGB32));

    // A value text that changes repaints its label by itself.
    panel.setText(SkywandWidget::verticalValueIndex, -0.2);
    panel.updateIndicator();
    settle();
    QVERIFY(labelPaints[SkywandWidget::verticalValueIndex]->count > 0);
    QCOMPARE(onScreen(panel), panel.grab().toImage().convertToFormat(QImage::Format_RGB32));
    qDeleteAll(labelPaints);
}

QTEST_MAIN(TestSkywandWidget)
#include "tst_skywandwidget.moc"
