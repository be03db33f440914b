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
    requestedKnob = knob();
}

JoystickWidget::~JoystickWidget() = default;

void JoystickWidget::setJoystickPressed(bool pressed) {
    joystickPressed = pressed;
}

void JoystickWidget::setFlValueH(double value) {
    flValueH = value;
}

void JoystickWidget::setFlValueV(double value) {
    flValueV = value;
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

JoystickWidget::Knob JoystickWidget::knob() const {
    const int side = qMin(width(), height()) - 50;
    // The knob is the square shrunk by knobInset on every side (16 or 17 pixels wide) and
    // moved by the stick values; a value of ±1 puts its centre on the circle. Vertical
    // values count upwards, widget pixels downwards.
    const int knobInset = (side - 16) / 2;
    const int half = side / 2;
    const int dx = knobOffset(flValueH, half);
    const int dy = knobOffset(flValueV, half);

    Knob result;
    result.rect = QRect(QPoint(15 + knobInset + dx, 15 + knobInset - dy),
                        QPoint(side + 14 - knobInset + dx, side + 14 - knobInset - dy));
    // Black at rest, red when deflected (even by less than a pixel), thick red when pressed.
    const bool atRest = flValueH == 0.0 && flValueV == 0.0;
    result.outline = atRest ? QColor(Qt::black) : QColor(Qt::red);
    if (joystickPressed) {
        result.outline = Qt::red;
        result.outlineWidth = 7;
    }
    return result;
}

QRect JoystickWidget::Knob::area() const {
    const int reach = outlineWidth / 2 + 2;
    return rect.adjusted(-reach, -reach, reach, reach);
}

void JoystickWidget::updateKnob() {
    const Knob current = knob();
    if (current == requestedKnob && strayKnobAreas.isEmpty())
        return;
    update(strayKnobAreas + requestedKnob.area() + current.area());
    requestedKnob = current;
    strayKnobAreas = QRegion();
}

namespace {

// The pen of the square, circle and cross-hair; the knob's outline is the same pen with
// another colour and width.
QPen framePen() {
    return QPen(QBrush(Qt::darkGray, Qt::SolidPattern), 2.0, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

// Sets up an antialiased painter with the frame pen and the white brush, which stays for
// every closed shape: square, circle and knob are all filled.
void preparePainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(framePen());
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
}

} // namespace

// The picture hangs from (15, 15) and its size follows the smaller widget dimension.
void JoystickWidget::paintFrame(QPainter& painter) const {
    const int side = qMin(width(), height()) - 50;
    painter.drawRect(15, 15, side, side);
    painter.drawEllipse(15, 15, side, side);

    // The cross-hair reaches about 10 pixels past the square on each side.
    const int middle = side / 2 + 15;
    painter.drawLine(middle, 5, middle, side + 25);
    painter.drawLine(5, middle, side + 25, middle);
}

// Every pixel the frame paints is either fully covered or untouched: the square, its fill and
// the cross-hair lie on whole pixels, and the circle's antialiased edges fall on the square's
// opaque white fill or outline. So the image holds opaque pixels where the frame is and
// transparent ones elsewhere, and copying it gives exactly the pixels that drawing the frame
// on the widget gives, whatever lies beneath. Its stroked circle is by far the dearest part
// of a repaint.
const QImage& JoystickWidget::framePicture() {
    if (framePictureCache.size() != size()) {
        framePictureCache = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        framePictureCache.fill(Qt::transparent);
        QPainter painter(&framePictureCache);
        preparePainter(painter);
        paintFrame(painter);
    }
    return framePictureCache;
}

void JoystickWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    preparePainter(painter);

    // On a scaled screen the copy would be scaled as well; there the frame is drawn.
    if (devicePixelRatioF() == 1.0) {
        const QRect area = event->rect();
        painter.drawImage(area.topLeft(), framePicture(), area);
    } else {
        paintFrame(painter);
    }

    // The knob on top of the cross-hair, with the frame pen changed and the white brush.
    const Knob shown = knob();
    if (shown != requestedKnob)
        strayKnobAreas += shown.area();
    QPen pen = framePen();
    pen.setColor(shown.outline);
    pen.setWidth(shown.outlineWidth);
    painter.setPen(pen);
    painter.drawEllipse(shown.rect);
}
