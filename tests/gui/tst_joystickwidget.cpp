// The joystick indicator paints exact pixel geometry: rendered images are compared with pictures
// drawn from the expected coordinates and outline colours.

#include "joystickwidget.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <limits>

namespace {

// Untouched pixels keep this colour, so anything painted outside the picture shows up.
const QColor unpainted(0, 0, 255);

QImage renderIndicator(const QSize& size, double h, double v, bool pressed) {
    JoystickWidget widget;
    widget.resize(size);
    widget.setFlValueH(h);
    widget.setFlValueV(v);
    widget.setJoystickPressed(pressed);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(unpainted);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

struct Expected {
    int squareFirst; // square spans squareFirst..squareLast in x and y
    int squareLast;
    int lineAt;   // both cross-hair lines
    int lineFrom; // they run from lineFrom to lineTo
    int lineTo;
    QRect knob; // inclusive corners; null when the knob lies outside the widget
    QColor outline;
    int outlineWidth;
};

// The picture as it must look, drawn straight from the expected coordinates.
QImage drawExpected(const QSize& size, const Expected& e) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(unpainted);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QBrush(Qt::darkGray), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    const QRect square(QPoint(e.squareFirst, e.squareFirst), QPoint(e.squareLast, e.squareLast));
    painter.drawRect(square);
    painter.drawEllipse(square);
    painter.drawLine(e.lineAt, e.lineFrom, e.lineAt, e.lineTo);
    painter.drawLine(e.lineFrom, e.lineAt, e.lineTo, e.lineAt);
    if (!e.knob.isNull()) {
        pen.setColor(e.outline);
        pen.setWidth(e.outlineWidth);
        painter.setPen(pen);
        painter.drawEllipse(e.knob);
    }
    return image;
}

QRect knobSpan(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

class TestJoystickWidget : public QObject {
    Q_OBJECT

private slots:
    void construction();
    void geometry_data();
    void geometry();
    void hugeAndNonFiniteValuesStayDrawable();
};

void TestJoystickWidget::construction() {
    JoystickWidget widget;
    QCOMPARE(widget.objectName(), QStringLiteral("JoystickWidgetClass"));
    QCOMPARE(widget.windowTitle(), QStringLiteral("JoystickWidget"));
    QCOMPARE(widget.size(), QSize(321, 300));
    QCOMPARE(widget.minimumSize(), QSize(100, 100));
    QCOMPARE(widget.sizeHint(), QSize(1000, 1000));
    QCOMPARE(widget.isJoystickPressed(), false);
    QCOMPARE(widget.valueH(), 0.0);
    QCOMPARE(widget.valueV(), 0.0);

    JoystickWidget named;
    named.setObjectName("kept");
    QCOMPARE(named.objectName(), QStringLiteral("kept"));
}

void TestJoystickWidget::geometry_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("v");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<int>("squareLast");
    QTest::addColumn<int>("lineAt");
    QTest::addColumn<int>("lineTo");
    QTest::addColumn<QRect>("knob");
    QTest::addColumn<QColor>("outline");
    QTest::addColumn<int>("outlineWidth");

    const QColor black(Qt::black), red(Qt::red);
    QTest::newRow("starting size at rest") << QSize(321, 300) << 0.0 << 0.0 << false << 264 << 140
                                           << 275 << knobSpan(132, 132, 147, 147) << black << 2;
    QTest::newRow("full right") << QSize(321, 300) << 1.0 << 0.0 << false << 264 << 140 << 275
                                << knobSpan(257, 132, 272, 147) << red << 2;
    QTest::newRow("full up moves up") << QSize(321, 300) << 0.0 << 1.0 << false << 264 << 140 << 275
                                      << knobSpan(132, 7, 147, 22) << red << 2;
    QTest::newRow("down left, truncated") << QSize(321, 300) << -0.5 << -0.999 << false << 264
                                          << 140 << 275 << knobSpan(70, 256, 85, 271) << red << 2;
    QTest::newRow("sub-pixel deflection is red")
        << QSize(321, 300) << 0.004 << 0.0 << false << 264 << 140 << 275
        << knobSpan(132, 132, 147, 147) << red << 2;
    QTest::newRow("pressed at rest") << QSize(321, 300) << 0.0 << 0.0 << true << 264 << 140 << 275
                                     << knobSpan(132, 132, 147, 147) << red << 7;
    QTest::newRow("pressed and deflected") << QSize(321, 300) << -0.2 << 0.3 << true << 264 << 140
                                           << 275 << knobSpan(107, 95, 122, 110) << red << 7;
    QTest::newRow("negative zero is at rest")
        << QSize(321, 300) << -0.0 << -0.0 << false << 264 << 140 << 275
        << knobSpan(132, 132, 147, 147) << black << 2;
    QTest::newRow("minimum size") << QSize(100, 100) << 0.0 << 0.0 << false << 64 << 40 << 75
                                  << knobSpan(32, 32, 47, 47) << black << 2;
    // D = 51: the knob is 17 pixels wide.
    QTest::newRow("odd side") << QSize(101, 140) << 0.0 << 0.0 << false << 65 << 40 << 76
                              << knobSpan(32, 32, 48, 48) << black << 2;
    // Sized by the height; the extra width stays empty on the right.
    QTest::newRow("wider than high") << QSize(400, 200) << 0.0 << 0.0 << false << 164 << 90 << 175
                                     << knobSpan(82, 82, 97, 97) << black << 2;
    QTest::newRow("higher than wide") << QSize(150, 500) << 0.0 << 0.0 << false << 114 << 65 << 125
                                      << knobSpan(57, 57, 72, 72) << black << 2;
    QTest::newRow("beyond the circle") << QSize(321, 300) << 1.5 << 0.0 << false << 264 << 140
                                       << 275 << knobSpan(319, 132, 334, 147) << red << 2;
}

void TestJoystickWidget::geometry() {
    QFETCH(QSize, size);
    QFETCH(double, h);
    QFETCH(double, v);
    QFETCH(bool, pressed);
    QFETCH(int, squareLast);
    QFETCH(int, lineAt);
    QFETCH(int, lineTo);
    QFETCH(QRect, knob);
    QFETCH(QColor, outline);
    QFETCH(int, outlineWidth);

    const QImage rendered = renderIndicator(size, h, v, pressed);
    const QImage expected =
        drawExpected(size, {15, squareLast, lineAt, 5, lineTo, knob, outline, outlineWidth});
    QCOMPARE(rendered, expected);
}

// Stick values come from the network; converting a huge or non-finite displacement to int
// would be undefined behaviour.
void TestJoystickWidget::hugeAndNonFiniteValuesStayDrawable() {
    const double inf = std::numeric_limits<double>::infinity();
    const QSize size(321, 300);
    const Expected noKnob{15, 264, 140, 5, 275, QRect(), Qt::black, 2};
    for (double huge : {1e30, -1e30, inf, -inf, 1e9}) {
        QCOMPARE(renderIndicator(size, huge, 0.0, false), drawExpected(size, noKnob));
        QCOMPARE(renderIndicator(size, 0.0, huge, true), drawExpected(size, noKnob));
    }
    // NaN displaces nothing but is not a rest position.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Expected centredRed{15, 264, 140, 5, 275, knobSpan(132, 132, 147, 147), Qt::red, 2};
    QCOMPARE(renderIndicator(size, nan, nan, false), drawExpected(size, centredRed));
    QCOMPARE(renderIndicator(size, nan, 0.0, false), drawExpected(size, centredRed));
}

QTEST_MAIN(TestJoystickWidget)
#include "tst_joystickwidget.moc"
