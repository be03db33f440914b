// The display widgets: the joystick indicator's exact pixel geometry, and the device panel's
// texts, styles, label sizes and its picture at the screen's scale.
#include "buttonwidget.h"
#include "eventcounter.h"
#include "joystickwidget.h"

#include <QLabel>
#include <QPainter>
#include <QTest>

#include <cmath>
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
    void indicatorGeometry();
    void hugeAndNonFiniteValuesStayDrawable();
    void partialRepaintMatchesWhole_data();
    void partialRepaintMatchesWhole();
    void panelTexts();
    void valueLabelsTakeTheirTextsSize();
    void panelAtTheScreensScale();
};

void TestWidgets::indicatorGeometry() {
    const QColor black(Qt::black), red(Qt::red);
    const QSize start(321, 300);
    const struct {
        const char* what;
        QSize size;
        double h, v;
        bool pressed;
        int last, line; // the square's last pixel and the cross-hair's
        QRect knob;
        QColor outline;
        int width;
    } cases[] = {
        {"at rest", start, 0.0, 0.0, false, 264, 140, span(132, 132, 147, 147), black, 2},
        {"full right", start, 1.0, 0.0, false, 264, 140, span(257, 132, 272, 147), red, 2},
        {"full up moves up", start, 0.0, 1.0, false, 264, 140, span(132, 7, 147, 22), red, 2},
        {"sub-pixel is red", start, 0.004, 0.0, false, 264, 140, span(132, 132, 147, 147), red, 2},
        {"pressed", start, -0.2, 0.3, true, 264, 140, span(107, 95, 122, 110), red, 7},
        {"minimum size", QSize(100, 100), 0.0, 0.0, false, 64, 40, span(32, 32, 47, 47), black, 2},
        {"odd side", QSize(101, 140), 0.0, 0.0, false, 65, 40, span(32, 32, 48, 48), black, 2},
        {"wider than high", QSize(400, 200), 0.0, 0.0, false, 164, 90, span(82, 82, 97, 97), black,
         2},
    };
    for (const auto& c : cases)
        QVERIFY2(renderIndicator(c.size, c.h, c.v, c.pressed) ==
                     drawExpected(c.size, c.last, c.line, c.knob, c.outline, c.width),
                 c.what);
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

void TestWidgets::partialRepaintMatchesWhole_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("v");
    QTest::addColumn<qreal>("scale");
    QTest::newRow("on the ring") << QSize(321, 300) << 0.7 << 0.7 << 1.0;
    QTest::newRow("on the ring, scale 2") << QSize(321, 300) << -0.7 << 0.7 << 2.0;
    QTest::newRow("small, odd, scale 2") << QSize(101, 140) << 1.0 << 0.0 << 2.0;
    QTest::newRow("wide, at rest") << QSize(400, 200) << 0.0 << 0.0 << 1.0;
}

// A repaint of any knob-sized area, wherever it falls on the ring, leaves exactly the pixels a
// repaint of the whole indicator paints.
void TestWidgets::partialRepaintMatchesWhole() {
    QFETCH(QSize, size);
    QFETCH(double, h);
    QFETCH(double, v);
    QFETCH(qreal, scale);
    JoystickWidget widget;
    widget.resize(size);
    widget.setFlValueH(h);
    widget.setFlValueV(v);
    QImage whole(size * scale, QImage::Format_ARGB32_Premultiplied);
    whole.setDevicePixelRatio(scale);
    widget.render(&whole, QPoint(), QRegion(), QWidget::RenderFlags());
    for (int y = -20; y < size.height(); y += 9)
        for (int x = -20; x < size.width(); x += 9) {
            QImage part = whole;
            part.fill(Qt::magenta);
            const QRect area = QRect(x, y, 30, 30) & widget.rect(); // placed at the offset
            widget.render(&part, area.topLeft(), area, QWidget::RenderFlags());
            QPainter restore(&part); // the rest of the picture as before, for the comparison
            restore.setClipRegion(QRegion(widget.rect()) - area);
            restore.drawImage(0, 0, whole);
            restore.end();
            QVERIFY2(part == whole, qPrintable(QStringLiteral("area at %1, %2").arg(x).arg(y)));
        }
}

// The labels as a new panel shows them, then the values' texts (a button's without a prefix).
void TestWidgets::panelTexts() {
    SkywandWidget panel;
    for (int i = 0; i < 5; ++i) {
        const auto* label = panel.findChild<QLabel*>(QStringLiteral("lbl_btn%1").arg(i + 1));
        QCOMPARE(label->text(), QStringLiteral("Button %1").arg(i + 1));
        QCOMPARE(label->styleSheet(), QStringLiteral("background-color: lightgray; color: black;"));
    }
    auto* vertical = panel.findChild<QLabel*>("lbl_joyV");
    QCOMPARE(vertical->text(), QStringLiteral("0.00"));
    QCOMPARE(vertical->styleSheet(), QStringLiteral("background-color: white; color: black;;"));
    panel.setText(5, 0.123);
    panel.setText(6, -1.0);
    panel.setText(0, 2.5);
    QCOMPARE(vertical->text(), QStringLiteral("Y = 0.12"));
    QCOMPARE(panel.findChild<QLabel*>("lbl_joyH")->text(), QStringLiteral("X = -1.00"));
    QCOMPARE(panel.findChild<QLabel*>("lbl_btn1")->text(), QStringLiteral("2.50"));
}

// A value label takes the size a plain label asks for its text, down as well as up, and a new
// value of the same size lays nothing out again (a label of fixed size does not invalidate its
// parent's layout); one of another size lays the panel out anew.
void TestWidgets::valueLabelsTakeTheirTextsSize() {
    SkywandWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    EventCounter requests(QEvent::LayoutRequest);
    qApp->installEventFilter(&requests);
    const auto* horizontal = panel.findChild<QLabel*>("lbl_joyH");
    // Each value, and whether it has another size than the one before.
    const QList<QPair<double, bool>> values = {{0.25, true},   {0.5, false}, {-0.5, true},
                                               {-0.75, false}, {1.5, true},  {2.5, false}};
    for (const auto& [value, resized] : values) {
        QCoreApplication::sendPostedEvents();
        requests.count = 0;
        panel.setText(SkywandWidget::horizontalValueIndex, value);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(requests.count > 0, resized);
        QLabel plain(horizontal->text());
        plain.setStyleSheet(horizontal->styleSheet());
        QCOMPARE(horizontal->size(), plain.sizeHint());
    }
}

// ctest runs this once more at QT_SCALE_FACTOR=2: the knob, the circle and the labels where
// their logical geometry puts them, read in device pixels.
void TestWidgets::panelAtTheScreensScale() {
    SkywandWidget panel;
    panel.resize(400, 520);
    panel.setFlValueH(1.0); // the knob's centre on the circle's right edge
    panel.setStyleSheet(0, panel.pressedStyle());
    panel.setText(SkywandWidget::horizontalValueIndex, 1.0);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QImage image = panel.grab().toImage();
    const qreal scale = image.devicePixelRatio();
    QCOMPARE(scale, qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                        ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                        : 1.0);
    const auto colourAt = [&](const QWidget* widget, QPointF point) {
        point = (point + QPointF(widget->mapTo(&panel, QPoint()))) * scale;
        return image.pixelColor(int(point.x()), int(point.y()));
    };
    // Antialiased edges blend a little into the pixels they only partly cover.
    const auto shows = [&](const QWidget* widget, QPointF point, const QColor& expected) {
        const QColor c = colourAt(widget, point);
        return qAbs(c.red() - expected.red()) + qAbs(c.green() - expected.green()) +
                   qAbs(c.blue() - expected.blue()) <=
               90;
    };

    const JoystickWidget* indicator = panel.joystick();
    const int side = qMin(indicator->width(), indicator->height()) - 50;
    const qreal centre = 15 + side / 2.0, radius = side / 2.0, diagonal = radius / std::sqrt(2.0);
    QVERIFY(shows(indicator, {centre + diagonal, centre - diagonal}, Qt::darkGray));
    QVERIFY(shows(indicator, {centre + diagonal - 4, centre - diagonal + 4}, Qt::white));
    const int middle = side / 2 + 15; // the cross-hair's crossing, which the knob has left
    QVERIFY(shows(indicator, {qreal(middle), qreal(middle)}, Qt::darkGray));
    const int inset = (side - 16) / 2;
    const qreal knobSize = side - 2 * inset;
    const QPointF knob(15 + inset + side / 2, 15 + inset);
    QVERIFY(shows(indicator, knob + QPointF(knobSize / 2, knobSize / 2), Qt::white));
    QVERIFY(shows(indicator, knob + QPointF(0, knobSize / 2), Qt::red));

    const auto* pressed = panel.findChild<QLabel*>("lbl_btn1");
    QVERIFY(shows(pressed, {1, 1}, Qt::red));
    const auto* value = panel.findChild<QLabel*>("lbl_joyH");
    QVERIFY(shows(value, {0, 0}, Qt::white));
    int dark = 0; // the text's pixels within the label
    for (int y = 0; y < value->height(); ++y)
        for (int x = 0; x < value->width(); ++x)
            dark += colourAt(value, {x + 0.5, y + 0.5}).lightness() < 100;
    QVERIFY(dark > 20);
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
