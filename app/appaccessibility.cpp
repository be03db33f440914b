#include "appaccessibility.h"

#include "helptextaccessible.h"

#include <QAccessibleWidget>
#include <QTextBrowser>

namespace {

QAccessibleInterface* appFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("HelpBrowser") || className == QLatin1String("CheckWindow"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    // The help window's is the tester's only text browser.
    if (className == QLatin1String("QTextBrowser"))
        return new HelpTextAccessible(static_cast<QTextBrowser*>(widget));
    return nullptr;
}

} // namespace

void installAppAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(appFactory);
        return true;
    }();
    (void)installed;
}
