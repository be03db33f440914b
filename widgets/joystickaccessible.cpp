#include "joystickaccessible.h"

#include "joystickwidget.h"

#include <QCoreApplication>

namespace {

QAccessibleInterface* joystickFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("JoystickWidget") && object && object->isWidgetType())
        return new JoystickAccessible(static_cast<JoystickWidget*>(object));
    return nullptr;
}

} // namespace

// A picture that tells where the stick stands: the role that screen readers read out with
// its name and description.
JoystickAccessible::JoystickAccessible(JoystickWidget* indicator)
    : QAccessibleWidget(indicator, QAccessible::Graphic) {}

void JoystickAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(joystickFactory);
        return true;
    }();
    (void)installed;
}

QString JoystickAccessible::stateText(double x, double y, bool pressed) {
    QString text = QCoreApplication::translate("JoystickAccessible", "X %1, Y %2")
                       .arg(QString::number(x, 'f', 2), QString::number(y, 'f', 2));
    if (pressed)
        text += QCoreApplication::translate("JoystickAccessible", ", pressed");
    return text;
}

// The value text is the description as well: AT-SPI passes a value on only for numeric
// controls, but every screen reader reads a description.
QString JoystickAccessible::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name:
        if (indicator()->accessibleName().isEmpty())
            return QCoreApplication::translate("JoystickAccessible", "Joystick");
        break;
    case QAccessible::Value:
    case QAccessible::Description:
        return stateText(indicator()->valueH(), indicator()->valueV(),
                         indicator()->isJoystickPressed());
    default:
        break;
    }
    return QAccessibleWidget::text(t);
}

const JoystickWidget* JoystickAccessible::indicator() const {
    return static_cast<const JoystickWidget*>(widget());
}
