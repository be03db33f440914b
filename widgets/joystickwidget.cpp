#include "joystickwidget.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <cmath>

JoystickWidget::JoystickWidget(QWidget* parent) : QWidget(parent) {
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("JoystickWidgetClass"));
    resize(321, 300); // starting size only: the owner's layout decides the real one
    setWindowTitle(QCoreApplication::translate("JoystickWidgetClass", "JoystickWidget"));
    QMetaObject::connectSlotsByName(this);
    setMinimumSize(100, 100);
    // The indicator paints every pixel it covers, its background included, so its repaint
    // does not repaint the widgets beneath it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

JoystickWidget::~JoystickWidget() = default;

// Only the knob changes with the stick: a new state repaints the knob's old and new place,
// not the whole indicator, which spares stroking the large circle (several times the cost of
// the rest of a presentation); an unchanged state repaints nothing.
void JoystickWidget::setJoystickPressed(bool pressed) {
    if (pressed == joystickPressed)
        return;
    joystickPressed = pressed;
    update(knobArea());
}

void JoystickWidget::setFlValueH(double value) {
    moveKnob(flValueH, value);
}

void JoystickWidget::setFlValueV(double value) {
    moveKnob(flValueV, value);
}

void JoystickWidget::moveKnob(double& stored, double value) {
    if (value == stored)
        return;
    update(knobArea());
    stored = value;
    update(knobArea());
}

QSize JoystickWidget::sizeHint() const {
    return QSize(1000, 1000);
}

int JoystickWidget::knobOffset(double value, int half) {
    if (std::isnan(value))
        return 0;
    const double offset = value * half;
    if (offset >= maxKnobOffset)
        return maxKnobOffset;
    if (offset <= -maxKnobOffset)
        return -maxKnobOffset;
    return static_cast<int>(offset); // truncates towards zero
}

// The knob is the square shrunk by `inset` on every side (16 or 17 pixels wide) and moved by the
// stick values; a value of ±1 puts its centre on the circle. Vertical values count upwards,
// widget pixels downwards.
QRect JoystickWidget::knobRect() const {
    const int side = this->side();
    const int inset = (side - 16) / 2;
    const int half = side / 2;
    const int dx = knobOffset(flValueH, half);
    const int dy = knobOffset(flValueV, half);
    return QRect(QPoint(15 + inset + dx, 15 + inset - dy),
                 QPoint(side + 14 - inset + dx, side + 14 - inset - dy));
}

// The pressed outline, 7 pixels wide, reaches 3.5 pixels beyond the knob's rectangle, and its
// antialiased edge one more.
QRect JoystickWidget::knobArea() const {
    return knobRect().adjusted(-5, -5, 5, 5);
}

// The picture hangs from (15, 15) and its size follows the smaller widget dimension; the
// background is the palette's window, as the widgets beneath would paint it.
void JoystickWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QBrush(Qt::darkGray, Qt::SolidPattern), 2.0, Qt::SolidLine, Qt::SquareCap,
             Qt::BevelJoin);
    painter.setPen(pen);
    // The square and the knob are filled white; the circle is stroked only.
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));

    const int side = this->side();
    painter.drawRect(15, 15, side, side);
    painter.setBrush(Qt::NoBrush);
    strokeCircle(painter, QRectF(15, 15, side, side), event->rect());
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    // The cross-hair reaches about 10 pixels past the square on each side.
    const int middle = side / 2 + 15;
    painter.drawLine(middle, 5, middle, side + 25);
    painter.drawLine(5, middle, side + 25, middle);

    // Black at rest, red when deflected (even by less than a pixel), thick red when pressed.
    pen.setColor(flValueH == 0.0 && flValueV == 0.0 ? Qt::black : Qt::red);
    pen.setWidth(2);
    if (joystickPressed) {
        pen.setColor(Qt::red);
        pen.setWidth(7);
    }
    painter.setPen(pen);
    painter.drawEllipse(knobRect());
}

// The circle's white fill would fall on the square's white inside, so the circle is stroked
// only. Stroking it rasterises the whole ring however small the repainted area is, so an area
// wholly inside the ring (the knob near the centre) skips it.
void JoystickWidget::strokeCircle(QPainter& painter, const QRectF& circle, const QRect& area) {
    const QRectF inner = QRectF(area).translated(-circle.center());
    const qreal dx = qMax(qAbs(inner.left()), qAbs(inner.right()));
    const qreal dy = qMax(qAbs(inner.top()), qAbs(inner.bottom()));
    const qreal innerRadius = circle.width() / 2 - 5;
    if (dx * dx + dy * dy >= innerRadius * innerRadius)
        painter.drawEllipse(circle);
}
