// The joystick indicator of the device panel: a square with an inscribed circle and a
// cross-hair, and a small knob displaced from the centre by the two stick values.

#ifndef JOYSTICKWIDGET_H
#define JOYSTICKWIDGET_H

#include <QImage>
#include <QPen>
#include <QWidget>

class QPainter;

class JoystickWidget : public QWidget {
    Q_OBJECT

public:
    explicit JoystickWidget(QWidget* parent = nullptr);
    ~JoystickWidget() override;

    // The setters only store; the owner requests the repaint.
    void setJoystickPressed(bool pressed);
    void setFlValueH(double value);
    void setFlValueV(double value);

    bool isJoystickPressed() const { return joystickPressed; }
    double valueH() const { return flValueH; }
    double valueV() const { return flValueV; }

    // Layouts hand the indicator all the room they can spare.
    QSize sizeHint() const override;

    // The pixels the knob paints at the current size and values, outline included: an owner
    // that changes the values repaints the knob's old and new bounds, and leaves the frame
    // beneath, which does not change, as it is.
    QRect knobBounds() const;

    // Knob displacement in pixels for a stick value: value × half, truncated towards zero.
    // Values from the network may be huge, infinite or NaN; the displacement is kept within
    // ±maxKnobOffset (far outside any screen) so the integer geometry never overflows, and
    // NaN displaces nothing.
    static int knobOffset(double value, int half);
    static constexpr int maxKnobOffset = 1 << 20;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // How far the knob paints beyond its rectangle: the widest outline (7 pixels, pressed)
    // reaches 3.5 pixels out, and its antialiased edge one more.
    static constexpr int knobReach = 5;

    int side() const { return qMin(width(), height()) - 50; }
    QRect knobRect() const;
    QPen knobPen() const;
    void drawKnob(QPainter& painter);

    bool joystickPressed = false;
    double flValueH = 0.0; // positive moves the knob right
    double flValueV = 0.0; // positive moves the knob up
    QImage frameImage; // the background, square, circle and cross-hair at the current size
    // The knob's fill and its outline, each alone on transparent, for the knob's current size
    // and outline pen.
    QImage knobFillImage;
    QImage knobOutlineImage;
    QPen knobImagePen;
};

#endif // JOYSTICKWIDGET_H
