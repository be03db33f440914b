// The device panel as a screen reader meets it. The button labels say "pressed" or
// "released" in their description, changed when the button's state changes. The value labels
// keep the fixed names "Joystick X" and "Joystick Y" and carry their value text in their
// description; the joystick indicator has its own interface (JoystickAccessible).
//
// Frames come many times a second, far faster than anyone can listen: the values' changes
// are announced at most once per announceIntervalMs, three events at most each time. A fixed
// name also keeps QLabel::setText from announcing a name change for every value it shows.

#ifndef PANELACCESSIBILITY_H
#define PANELACCESSIBILITY_H

#include <QObject>
#include <QString>
#include <QTimer>

class JoystickWidget;
class QLabel;
class QWidget;

class PanelAccessibility : public QObject {
    Q_OBJECT

public:
    static constexpr int announceIntervalMs = 750;

    // For the panel's two value labels and its indicator; a child of the panel, so it goes
    // with it.
    PanelAccessibility(QWidget* panel, QLabel* valueX, QLabel* valueY, JoystickWidget* indicator);

    // Says whether a button label shows a pressed button; nothing happens when it already
    // says so.
    static void setButtonPressed(QLabel* button, bool pressed);

private:
    void announce();

    QLabel* valueX;
    QLabel* valueY;
    JoystickWidget* indicator;
    QString announcedIndicator;
    QTimer announceTimer;
};

#endif // PANELACCESSIBILITY_H
