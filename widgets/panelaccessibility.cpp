#include "panelaccessibility.h"

#include "joystickaccessible.h"
#include "joystickwidget.h"

#include <QAccessible>
#include <QLabel>

PanelAccessibility::PanelAccessibility(QWidget* panel, QLabel* valueX, QLabel* valueY,
                                       JoystickWidget* indicator)
    : QObject(panel), valueX(valueX), valueY(valueY), indicator(indicator) {
    JoystickAccessible::install();
    valueX->setAccessibleName(tr("Joystick X"));
    valueY->setAccessibleName(tr("Joystick Y"));

    connect(&announceTimer, &QTimer::timeout, this, &PanelAccessibility::announce);
    announceTimer.start(announceIntervalMs);
}

void PanelAccessibility::setButtonPressed(QLabel* button, bool pressed) {
    const QString state = pressed ? tr("pressed") : tr("released");
    // Setting the description announces it.
    if (button->accessibleDescription() != state)
        button->setAccessibleDescription(state);
}

// Qt drops the events itself while no assistive technology listens.
void PanelAccessibility::announce() {
    for (QLabel* label : {valueX, valueY})
        if (label->accessibleDescription() != label->text())
            label->setAccessibleDescription(label->text());
    const QString state = JoystickAccessible::stateText(indicator->valueH(), indicator->valueV(),
                                                        indicator->isJoystickPressed());
    if (state != announcedIndicator) {
        announcedIndicator = state;
        QAccessibleEvent event(indicator, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}
