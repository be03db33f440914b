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
    // The indicator paints every pixel it covers, its background included, so a repaint of
    // the knob does not repaint the widgets beneath it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
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

QRect JoystickWidget::knobBounds() const {
    return knobRect().adjusted(-knobReach, -knobReach, knobReach, knobReach) & rect();
}

namespace {

QPen framePen() {
    return QPen(QBrush(Qt::darkGray, Qt::SolidPattern), 2.0, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

// The square, circle and cross-hair, with the frame pen and the white brush, which stays for
// every closed shape: square, circle and knob are all filled. The picture hangs from (15, 15).
void paintFrame(QPainter& painter, int side) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(framePen());
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter.drawRect(15, 15, side, side);
    painter.drawEllipse(15, 15, side, side);
    // The cross-hair reaches about 10 pixels past the square on each side.
    const int middle = side / 2 + 15;
    painter.drawLine(middle, 5, middle, side + 25);
    painter.drawLine(5, middle, side + 25, middle);
}

} // namespace

// The background is the widget's own palette window, as the widgets beneath would paint it;
// the frame's size follows the smaller widget dimension. Its stroked circle is by far the
// dearest part of a repaint, and background and frame depend on the size and palette alone,
// so they are drawn once into an image, and each repaint copies its part of it.
void JoystickWidget::paintEvent(QPaintEvent* event) {
    const int side = this->side();
    QPainter painter(this);
    if (devicePixelRatioF() != 1.0) {
        // Copies would be scaled on a scaled screen.
        painter.fillRect(rect(), palette().window());
        paintFrame(painter, side);
        painter.setPen(knobPen());
        painter.drawEllipse(knobRect());
        return;
    }
    if (frameImage.size() != size()) {
        frameImage = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        QPainter imagePainter(&frameImage);
        imagePainter.setCompositionMode(QPainter::CompositionMode_Source);
        imagePainter.fillRect(rect(), palette().window());
        imagePainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paintFrame(imagePainter, side);
    }
    painter.drawImage(event->rect().topLeft(), frameImage, event->rect());
    drawKnob(painter);
}

void JoystickWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        frameImage = QImage();
    QWidget::changeEvent(event);
}

// Black at rest, red when deflected (even by less than a pixel), thick red when pressed.
QPen JoystickWidget::knobPen() const {
    QPen pen = framePen();
    pen.setColor(flValueH == 0.0 && flValueV == 0.0 ? Qt::black : Qt::red);
    pen.setWidth(2);
    if (joystickPressed) {
        pen.setColor(Qt::red);
        pen.setWidth(7);
    }
    return pen;
}

// Stroking and rasterising even a small antialiased circle costs more than the rest of a
// presentation, and the knob is always the same circle, moved by whole pixels. So its two
// shapes, the white fill and the outline, are drawn once per size and pen into images of
// their own, each one shape of one colour on transparent. Blending such an image gives the
// same pixels as drawing its shape at that place (the rasteriser's coverage does not change
// under whole-pixel moves, and the blend is the same sum), so copying the fill and then the
// outline paints exactly what drawing the filled, outlined circle paints.
void JoystickWidget::drawKnob(QPainter& painter) {
    const QRect knob = knobRect();
    const QPen pen = knobPen();
    const QRect imageRect =
        QRect(QPoint(0, 0), knob.size()).adjusted(0, 0, 2 * knobReach, 2 * knobReach);
    if (knobFillImage.size() != imageRect.size() || knobImagePen != pen) {
        const QRect shape = QRect(QPoint(knobReach, knobReach), knob.size());
        knobFillImage = QImage(imageRect.size(), QImage::Format_ARGB32_Premultiplied);
        knobFillImage.fill(Qt::transparent);
        QPainter fill(&knobFillImage);
        fill.setRenderHint(QPainter::Antialiasing);
        fill.setPen(Qt::NoPen);
        fill.setBrush(QBrush(Qt::white, Qt::SolidPattern));
        fill.drawEllipse(shape);
        knobOutlineImage = QImage(imageRect.size(), QImage::Format_ARGB32_Premultiplied);
        knobOutlineImage.fill(Qt::transparent);
        QPainter outline(&knobOutlineImage);
        outline.setRenderHint(QPainter::Antialiasing);
        outline.setPen(pen);
        outline.drawEllipse(shape);
        knobImagePen = pen;
    }
    const QPoint at = knob.topLeft() - QPoint(knobReach, knobReach);
    painter.drawImage(at, knobFillImage);
    painter.drawImage(at, knobOutlineImage);
}
