// Helpers for widget tests that look at what a shown widget has on the screen.

#ifndef SCREENSTATE_H
#define SCREENSTATE_H

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QWidget>

// Delivers posted events (update requests among them) and handles what they cause.
inline void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// What a shown top-level widget has on the screen: its backing store.
inline QImage onScreen(QWidget& widget) {
    const QImage* store = static_cast<const QImage*>(widget.backingStore()->paintDevice());
    return store->copy(widget.rect()).convertToFormat(QImage::Format_RGB32);
}

#endif // SCREENSTATE_H
