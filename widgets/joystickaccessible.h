// What assistive technology (a screen reader, through AT-SPI) learns of the joystick
// indicator, which paints its state and has no text of its own: the name "Joystick" and the
// stick's state as a value text, "X 0.45, Y 0.60, pressed". The text is read when asked for;
// the panel announces its changes (PanelAccessibility).

#ifndef JOYSTICKACCESSIBLE_H
#define JOYSTICKACCESSIBLE_H

#include <QAccessibleWidget>

class JoystickWidget;

class JoystickAccessible : public QAccessibleWidget {
public:
    explicit JoystickAccessible(JoystickWidget* indicator);

    // Makes Qt give every JoystickWidget this interface. Once per process is enough.
    static void install();
    // "X 0.45, Y 0.60" and ", pressed" while the stick is pressed; as the value labels
    // round, two decimals with a full stop.
    static QString stateText(double x, double y, bool pressed);

    QString text(QAccessible::Text t) const override;

private:
    const JoystickWidget* indicator() const;
};

#endif // JOYSTICKACCESSIBLE_H
