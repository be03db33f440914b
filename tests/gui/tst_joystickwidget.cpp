// The joystick indicator paints exact pixel geometry: rendered images are compared with pictures
// drawn from the expected coordinates and outline colours.

#include "joystickwidget.h"
#include "screenstate.h"

#include <QBackingStore>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>

#include <functional>
#include <limits>

namespace {

// Untouched pixels keep this colour, so anything painted outside the picture shows up.
const QColor unpainted(0, 0, 255);

QImage renderIndicator(const QSize& size, double h, double v, bool pressed,
                       QImage::Format format = QImage::Format_ARGB32) {
    JoystickWidget widget;
    widget.resize(size);
    widget.setFlValueH(h);
    widget.setFlValueV(v);
    widget.setJoystickPressed(pressed);
    QImage image(size, format);
    image.fill(unpainted);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// What a shown top-level widget has on the screen: its backing store, which every repaint
// goes through on its way there.
// What a full repaint of the widget in its present state gives.
QImage freshlyRendered(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Records the paint events a widget receives.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* watched) { watched->installEventFilter(this); }
    QList<QRegion> regions;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            regions << static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// Lets every repaint asked for so far happen.
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
    void backingStoreFormatsGetTheSamePixels_data();
    void backingStoreFormatsGetTheSamePixels();
    void resizedIndicatorRedrawsItsFrame();
    void updateKnobRepaintsOnlyWhatChanges_data();
    void updateKnobRepaintsOnlyWhatChanges();
    void screenAlwaysEndsAsAFullRepaint();
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

// Backing stores hold RGB32 or premultiplied ARGB32 pixels: the frame drawn once and copied
// must give there exactly what drawing it directly gives.
void TestJoystickWidget::backingStoreFormatsGetTheSamePixels_data() {
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("h");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("rgb32 starting size") << QImage::Format_RGB32 << QSize(321, 300) << 0.3 << false;
    QTest::newRow("rgb32 odd side") << QImage::Format_RGB32 << QSize(101, 140) << 0.0 << true;
    QTest::newRow("premultiplied starting size")
        << QImage::Format_ARGB32_Premultiplied << QSize(321, 300) << -0.7 << true;
    QTest::newRow("premultiplied minimum")
        << QImage::Format_ARGB32_Premultiplied << QSize(100, 100) << 1.0 << false;
}

void TestJoystickWidget::backingStoreFormatsGetTheSamePixels() {
    QFETCH(QImage::Format, format);
    QFETCH(QSize, size);
    QFETCH(double, h);
    QFETCH(bool, pressed);

    const QImage rendered = renderIndicator(size, h, 0.0, pressed, format);
    QImage expected(size, format);
    expected.fill(unpainted);
    {
        // The original way: every shape drawn straight onto the target.
        JoystickWidget reference;
        reference.resize(size);
        reference.setFlValueH(h);
        reference.setJoystickPressed(pressed);
        const int side = qMin(size.width(), size.height()) - 50;
        const int middle = side / 2 + 15;
        const JoystickWidget::Knob knob = reference.knob();
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(QBrush(Qt::darkGray), 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::white);
        painter.drawRect(15, 15, side, side);
        painter.drawEllipse(15, 15, side, side);
        painter.drawLine(middle, 5, middle, side + 25);
        painter.drawLine(5, middle, side + 25, middle);
        pen.setColor(knob.outline);
        pen.setWidth(knob.outlineWidth);
        painter.setPen(pen);
        painter.drawEllipse(knob.rect);
    }
    QCOMPARE(rendered, expected);
}

// The frame is drawn once per size: a new size must draw it anew.
void TestJoystickWidget::resizedIndicatorRedrawsItsFrame() {
    JoystickWidget widget;
    widget.setFlValueV(0.25);
    for (const QSize size :
         {QSize(321, 300), QSize(100, 100), QSize(400, 200), QSize(321, 300), QSize(150, 500)}) {
        widget.resize(size);
        QImage image(size, QImage::Format_ARGB32);
        image.fill(unpainted);
        widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        QCOMPARE(image, renderIndicator(size, 0.0, 0.25, false));
    }
}

// Each row changes the indicator of a shown widget resting at the centre, then asks for the
// owner's repaint. D = 250: a stick value moves the knob by value × 125 pixels.
void TestJoystickWidget::updateKnobRepaintsOnlyWhatChanges_data() {
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("v");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("repaints");

    QTest::newRow("nothing changed") << 0.0 << 0.0 << false << false;
    QTest::newRow("less than a pixel, but no longer at rest: red") << 0.004 << 0.0 << false << true;
    QTest::newRow("moved") << 0.5 << -0.25 << false << true;
    QTest::newRow("pressed") << 0.0 << 0.0 << true << true;
    QTest::newRow("far outside the widget") << 1e9 << 0.0 << false << true;
}

void TestJoystickWidget::updateKnobRepaintsOnlyWhatChanges() {
    QFETCH(double, h);
    QFETCH(double, v);
    QFETCH(bool, pressed);
    QFETCH(bool, repaints);

    JoystickWidget widget;
    widget.resize(321, 300);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.updateKnob(); // settles the knob shown first
    settle();
    const JoystickWidget::Knob before = widget.knob();

    PaintRecorder recorder(&widget);
    widget.setFlValueH(h);
    widget.setFlValueV(v);
    widget.setJoystickPressed(pressed);
    widget.updateKnob();
    settle();

    if (!repaints) {
        QVERIFY(recorder.regions.isEmpty());
        return;
    }
    QCOMPARE(recorder.regions.size(), 1);
    // Only the pixels of the old and the new knob, not the whole indicator.
    const QRegion allowed = QRegion(before.area()) + QRegion(widget.knob().area());
    QVERIFY((recorder.regions.first() - allowed).isEmpty());
    QVERIFY(!recorder.regions.first().contains(QPoint(20, 20))); // the square's corner
    QCOMPARE(onScreen(widget), freshlyRendered(widget));

    // Asking again without a change paints nothing.
    recorder.regions.clear();
    widget.updateKnob();
    settle();
    QVERIFY(recorder.regions.isEmpty());
}

// Whatever happens between them, after updateKnob() the screen holds what a full repaint
// would paint: no change that shows is left out, and no old knob is left behind.
void TestJoystickWidget::screenAlwaysEndsAsAFullRepaint() {
    JoystickWidget widget;
    widget.resize(321, 300);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    using Step = std::function<void()>;
    const QList<QPair<const char*, Step>> steps = {
        {"move right", [&] { widget.setFlValueH(0.8); }},
        {"move by less than a pixel", [&] { widget.setFlValueH(0.803); }},
        {"press", [&] { widget.setJoystickPressed(true); }},
        {"move while pressed", [&] { widget.setFlValueV(-0.6); }},
        {"release", [&] { widget.setJoystickPressed(false); }},
        {"back to rest", [&] { widget.setFlValueH(0.0), widget.setFlValueV(0.0); }},
        {"NaN", [&] { widget.setFlValueH(std::numeric_limits<double>::quiet_NaN()); }},
        {"out of the widget", [&] { widget.setFlValueH(-1e12); }},
        {"back in", [&] { widget.setFlValueH(-0.3); }},
        // Values set and painted by someone else's repaint, then set back to what the owner
        // last asked for: the knob that repaint left must still go.
        {"repainted by another, then back",
         [&] { widget.setFlValueH(0.6), widget.repaint(), widget.setFlValueH(-0.3); }},
        {"resized with the knob moved", [&] { widget.resize(200, 260), widget.setFlValueV(0.9); }},
        // Values set and painted by someone else's repaint before the owner asks for one.
        {"repainted by another", [&] { widget.setFlValueH(0.6), widget.repaint(); }},
        {"moved after that", [&] { widget.setFlValueH(-0.6); }},
        {"grown back", [&] { widget.resize(321, 300); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        widget.updateKnob();
        settle();
        QVERIFY2(onScreen(widget) == freshlyRendered(widget), name);
    }
}

QTEST_MAIN(TestJoystickWidget)
#include "tst_joystickwidget.moc"
