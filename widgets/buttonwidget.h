// The device panel: five button labels (four in a row, button 1 below them), the two joystick
// value labels and the joystick indicator. It holds no tracking data; the owner pushes the
// selected device's state through the operations below, which address the labels by panel
// index: 0 to 4 are buttons 1 to 5, 5 the vertical and 6 the horizontal joystick value.

#ifndef BUTTONWIDGET_H
#define BUTTONWIDGET_H

#include "ui_buttonwidget.h"

#include <QString>
#include <QWidget>

class JoystickWidget;
class QLabel;

class SkywandWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelSize = 7;
    static constexpr int verticalValueIndex = 5;
    static constexpr int horizontalValueIndex = 6;

    explicit SkywandWidget(QWidget* parent = nullptr);
    ~SkywandWidget() override;

    // Style texts of a released and of a pressed button label.
    const QString& releasedStyle() const { return styleNormal; }
    const QString& pressedStyle() const { return stylePressed; }

    // The panel's own QWidget operations stay reachable beside the index-based ones.
    using QWidget::hide;
    using QWidget::setStyleSheet;
    using QWidget::show;

    // Index-based operations; an index outside 0..6 is ignored.
    void show(int index);
    void hide(int index);
    void setText(int index, const QString& text);
    // A value label is held at the size of its text, so that a new value of the same width
    // repaints the label alone instead of laying out the panel and the window again.
    // Two decimals with a full stop whatever the locale; "Y = " before the vertical and
    // "X = " before the horizontal value.
    void setText(int index, double value);
    void setStyleSheet(int index, const QString& styleSheet);

    void joystickIsPressable(bool pressable);
    // Ignored while the joystick is not pressable: the indicator keeps its state.
    void setJoystickPressed(bool pressed);
    void setFlValueH(double value);
    void setFlValueV(double value);

    JoystickWidget* joystick() const { return joystickWidget; }

private:
    void InitButtonArray();
    QLabel* label(int index) const;

    Ui_ButtonWidgetClass ui;
    QLabel* buttonArray[panelSize] = {};
    QString styleNormal;
    QString stylePressed;
    QString styleValue;
    JoystickWidget* joystickWidget = nullptr;
    bool joystickPressable = false;
};

#endif // BUTTONWIDGET_H
