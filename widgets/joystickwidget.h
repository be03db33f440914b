// The joystick indicator of the device panel: a square with an inscribed circle and a
// cross-hair, and a small knob displaced from the centre by the two stick values.

#ifndef JOYSTICKWIDGET_H
#define JOYSTICKWIDGET_H

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>

class QPainter;

class JoystickWidget : public QWidget {
    Q_OBJECT

public:
    explicit JoystickWidget(QWidget* parent = nullptr);
    ~JoystickWidget() override;

    // The setters only store; the owner requests the repaint, with update() or updateKnob().
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

    // Everything the knob's pixels depend on: two equal knobs paint the same pixels.
    struct Knob {
        QRect rect; // inclusive corners
        QColor outline;
        int outlineWidth = 2;

        bool operator==(const Knob& other) const {
            return rect == other.rect && outline == other.outline &&
                   outlineWidth == other.outlineWidth;
        }
        bool operator!=(const Knob& other) const { return !(*this == other); }
        // Every pixel the knob can touch: the outline reaches half its width beyond the
        // rectangle, and antialiasing one pixel more.
        QRect area() const;
    };
    // The knob for the current values at the current size.
    Knob knob() const;

    // Requests the repaint that the setters leave to the owner, for just the pixels that
    // change: the area of the knob shown before and of the knob for the current values. Asks
    // for nothing when the knob would be painted exactly as before, since the square, circle
    // and cross-hair depend on the size alone (and Qt repaints a resized widget itself).
    void updateKnob();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The square, circle and cross-hair.
    void paintFrame(QPainter& painter) const;
    // The frame painted into an image of the widget's size, drawn once per size.
    const QImage& framePicture();

    bool joystickPressed = false;
    double flValueH = 0.0; // positive moves the knob right
    double flValueV = 0.0; // positive moves the knob up

    // The knob the last updateKnob() asked to be shown; once that repaint is done, it is the
    // knob on the screen.
    Knob requestedKnob;
    // Areas of knobs that a repaint drew without updateKnob() having asked for them (the
    // values were set and something else repainted the widget); the next updateKnob() clears
    // them as well.
    QRegion strayKnobAreas;
    QImage framePictureCache;
};

#endif // JOYSTICKWIDGET_H
