// The display widgets: the joystick indicator's exact pixel geometry, and the device panel's
// texts, styles and pressed state.
#include "buttonwidget.h"
#include "joystickwidget.h"
#include "valuelabel.h"

#include <QBackingStore>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <limits>

namespace {

// The indicator's background is its palette's window colour, set to this one: anything painted
// outside the picture shows up.
const QColor unpainted(0, 0, 255);

QImage renderIndicator(const QSize& size, double h, double v, bool pressed) {
    JoystickWidget widget;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, unpainted);
    widget.setPalette(palette);
    widget.resize(size);
    widget.setFlValueH(h);
    widget.setFlValueV(v);
    widget.setJoystickPressed(pressed);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// The picture as it must look, drawn straight from the expected coordinates: the square from
// 15 to `last`, the cross-hair at `line` reaching 10 pixels past it, and the knob (if any).
QImage drawExpected(const QSize& size, int last, int line, const QRect& knob, const QColor& outline,
                    int outlineWidth) {
    const int lineTo = last + 11;
    QImage image(size, QImage::Format_ARGB32);
    image.fill(unpainted);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QBrush(Qt::darkGray), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    const QRect square(QPoint(15, 15), QPoint(last, last));
    painter.drawRect(square);
    painter.drawEllipse(square);
    painter.drawLine(line, 5, line, lineTo);
    painter.drawLine(5, line, lineTo, line);
    if (!knob.isNull()) {
        pen.setColor(outline);
        pen.setWidth(outlineWidth);
        painter.setPen(pen);
        painter.drawEllipse(knob);
    }
    return image;
}

QRect span(int left, int top, int right, int bottom) {
    return {QPoint(left, top), QPoint(right, bottom)};
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    // Value texts keep the full stop whatever the locale.
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("de_DE"))); }
    void indicatorGeometry_data();
    void indicatorGeometry();
    void hugeAndNonFiniteValuesStayDrawable();
    void resizedIndicatorRedraws();
    void newPanel();
    void valueTexts();
    void valueLabelPaintsAsALabel();
};

void TestWidgets::indicatorGeometry_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("v");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("line");
    QTest::addColumn<QRect>("knob");
    QTest::addColumn<QColor>("outline");
    QTest::addColumn<int>("width");

    const QColor black(Qt::black), red(Qt::red);
    const QSize start(321, 300);
    QTest::newRow("at rest") << start << 0.0 << 0.0 << false << 264 << 140
                             << span(132, 132, 147, 147) << black << 2;
    QTest::newRow("full right") << start << 1.0 << 0.0 << false << 264 << 140
                                << span(257, 132, 272, 147) << red << 2;
    QTest::newRow("full up moves up")
        << start << 0.0 << 1.0 << false << 264 << 140 << span(132, 7, 147, 22) << red << 2;
    QTest::newRow("sub-pixel is red")
        << start << 0.004 << 0.0 << false << 264 << 140 << span(132, 132, 147, 147) << red << 2;
    QTest::newRow("pressed") << start << -0.2 << 0.3 << true << 264 << 140
                             << span(107, 95, 122, 110) << red << 7;
    QTest::newRow("minimum size") << QSize(100, 100) << 0.0 << 0.0 << false << 64 << 40
                                  << span(32, 32, 47, 47) << black << 2;
    QTest::newRow("odd side") << QSize(101, 140) << 0.0 << 0.0 << false << 65 << 40
                              << span(32, 32, 48, 48) << black << 2;
    QTest::newRow("wider than high") << QSize(400, 200) << 0.0 << 0.0 << false << 164 << 90
                                     << span(82, 82, 97, 97) << black << 2;
}

void TestWidgets::indicatorGeometry() {
    QFETCH(QSize, size);
    QFETCH(double, h);
    QFETCH(double, v);
    QFETCH(bool, pressed);
    QFETCH(int, last);
    QFETCH(int, line);
    QFETCH(QRect, knob);
    QFETCH(QColor, outline);
    QFETCH(int, width);
    QCOMPARE(renderIndicator(size, h, v, pressed),
             drawExpected(size, last, line, knob, outline, width));
}

// Stick values come from the network; converting a huge or non-finite displacement to int
// would be undefined behaviour.
void TestWidgets::hugeAndNonFiniteValuesStayDrawable() {
    const QSize size(321, 300);
    const double inf = std::numeric_limits<double>::infinity();
    const QImage noKnob = drawExpected(size, 264, 140, QRect(), Qt::black, 2);
    for (double huge : {1e30, -inf, 1e9}) {
        QCOMPARE(renderIndicator(size, huge, 0.0, false), noKnob);
        QCOMPARE(renderIndicator(size, 0.0, -huge, true), noKnob);
    }
    // NaN displaces nothing but is not a rest position.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QCOMPARE(renderIndicator(size, nan, 0.0, false),
             drawExpected(size, 264, 140, span(132, 132, 147, 147), Qt::red, 2));
}

void TestWidgets::resizedIndicatorRedraws() {
    JoystickWidget widget;
    widget.resize(321, 300);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.resize(150, 500);
    QTRY_COMPARE(widget.grab().toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(114, 65),
                 QColor(Qt::darkGray)); // the new square's corner
}

void TestWidgets::newPanel() {
    SkywandWidget panel;
    for (int i = 0; i < 5; ++i) {
        const auto* label = panel.findChild<QLabel*>(QStringLiteral("lbl_btn%1").arg(i + 1));
        QCOMPARE(label->text(), QStringLiteral("Button %1").arg(i + 1));
        QCOMPARE(label->styleSheet(), QStringLiteral("background-color: lightgray; color: black;"));
    }
    auto* vertical = panel.findChild<QLabel*>("lbl_joyV");
    QCOMPARE(vertical->text(), QStringLiteral("0.00"));
    QCOMPARE(vertical->styleSheet(), QStringLiteral("background-color: white; color: black;;"));
    // A pressed button's style paints red behind white text.
    panel.setStyleSheet(0, SkywandWidget::pressedStyle());
    QCOMPARE(panel.findChild<QLabel*>("lbl_btn1")->grab().toImage().pixelColor(1, 1),
             QColor(Qt::red));
}

void TestWidgets::valueTexts() {
    SkywandWidget panel;
    panel.setText(5, 0.123);
    panel.setText(6, -1.0);
    panel.setText(0, 2.5);
    QCOMPARE(panel.findChild<QLabel*>("lbl_joyV")->text(), QStringLiteral("Y = 0.12"));
    QCOMPARE(panel.findChild<QLabel*>("lbl_joyH")->text(), QStringLiteral("X = -1.00"));
    QCOMPARE(panel.findChild<QLabel*>("lbl_btn1")->text(), QStringLiteral("2.50")); // no prefix
}

// A value label asks for the size a plain label does and leaves the same pixels on screen:
// when it paints a text, when it shows a text again from the pixels it kept, and after a new
// size or style has made those pixels stale.
void TestWidgets::valueLabelPaintsAsALabel() {
    const QStringList texts = {"X = 0.00", "Y = -0.53", "X = 123456.78", "X = nan", ""};
    const QList<Qt::Alignment> alignments = {Qt::AlignLeft, Qt::AlignVCenter | Qt::AlignRight,
                                             Qt::AlignCenter, Qt::AlignBottom | Qt::AlignHCenter};
    for (const Qt::Alignment align : alignments) {
        QWidget window;
        window.setStyleSheet(QStringLiteral("background-color: blue;"));
        QLabel plain(&window);
        ValueLabel value(&window);
        for (QLabel* label : {&plain, static_cast<QLabel*>(&value)}) {
            label->setStyleSheet(QStringLiteral("background-color: white; color: black;;"));
            label->setAlignment(align);
        }
        for (const QString& text : texts) {
            value.setText(text);
            plain.setText(text);
            QCOMPARE(value.sizeHint(), plain.sizeHint());
        }
        for (QLabel* label : {&plain, static_cast<QLabel*>(&value)})
            label->setFixedSize(160, 40); // room to align in; whole pixels at scale 1.25 too
        value.move(0, 48);
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const auto compareShown = [&](const QString& text) {
            plain.setText(text);
            value.setText(text);
            plain.repaint();
            value.repaint();
            const auto* screen = static_cast<const QImage*>(window.backingStore()->paintDevice());
            const auto pixels = [&](const QRect& area) {
                const qreal ratio = screen->devicePixelRatio();
                return screen->copy(QRectF(QPointF(area.topLeft()) * ratio,
                                           QSizeF(area.size()) * ratio).toAlignedRect());
            };
            return pixels(value.geometry()) == pixels(plain.geometry());
        };
        for (int pass = 0; pass < 2; ++pass) {
            for (const QString& text : texts)
                QVERIFY2(compareShown(text), qPrintable(text));
        }
        for (QLabel* label : {&plain, static_cast<QLabel*>(&value)})
            label->setFixedSize(176, 40);
        QVERIFY(compareShown(texts.first()));
        for (QLabel* label : {&plain, static_cast<QLabel*>(&value)})
            label->setStyleSheet(QStringLiteral("background-color: yellow; color: red;"));
        QVERIFY(compareShown(texts.first()));
    }
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
