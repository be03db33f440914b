// The joystick indicator of the device panel: a square with an inscribed circle and a
// cross-hair, and a small knob displaced from the centre by the two stick values.

#ifndef JOYSTICKWIDGET_H
#define JOYSTICKWIDGET_H

#include <QWidget>

class QPainter;

class JoystickWidget : public QWidget {
    Q_OBJECT

public:
    explicit JoystickWidget(QWidget* parent = nullptr);
    ~JoystickWidget() override;

    // Each setter repaints what its change moves.
    void setJoystickPressed(bool pressed);
    void setFlValueH(double value);
    void setFlValueV(double value);

    bool isJoystickPressed() const { return joystickPressed; }
    double valueH() const { return flValueH; }
    double valueV() const { return flValueV; }

    // Layouts hand the indicator all the room they can spare.
    QSize sizeHint() const override;

    // Knob displacement in pixels for a stick value: value × half, truncated towards zero.
    // Values from the network may be huge, infinite or NaN; the displacement is kept within
    // ±maxKnobOffset (far outside any screen) so the integer geometry never overflows, and
    // NaN displaces nothing.
    static int knobOffset(double value, int half);
    static constexpr int maxKnobOffset = 1 << 20;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int side() const { return qMin(width(), height()) - 50; }
    QRect knobRect() const;
    // Where the knob paints at the current size and values, its widest outline included.
    QRect knobArea() const;
    void moveKnob(double& stored, double value);
    static void strokeCircle(QPainter& painter, const QRectF& circle, const QRect& area);

    bool joystickPressed = false;
    double flValueH = 0.0; // positive moves the knob right
    double flValueV = 0.0; // positive moves the knob up
};

#endif // JOYSTICKWIDGET_H
