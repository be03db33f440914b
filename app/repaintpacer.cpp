#include "repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

RepaintPacer::RepaintPacer(QWidget* paced, int interval)
    : QObject(paced), window(paced), intervalMs(std::max(interval, 1)) {
    heldRepaint.setSingleShot(true);
    heldRepaint.setTimerType(Qt::PreciseTimer);
    connect(&heldRepaint, &QTimer::timeout, this, &RepaintPacer::repaintNow);
    window->installEventFilter(this);
}

int RepaintPacer::intervalFor(double hertz) {
    // Screens report 0 or nonsense when they do not know; such a screen counts as 60 Hz.
    if (!(hertz >= 24.0 && hertz <= 1000.0))
        hertz = 60.0;
    return static_cast<int>(std::floor(1000.0 / hertz));
}

// Qt asks for a repaint of the window with an update request event; swallowing it keeps the
// dirty areas waiting (and Qt asks no more until it has repainted), so the held request must
// always be made up for by repaintNow().
bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window || event->type() != QEvent::UpdateRequest || repainting)
        return false;
    if (heldRepaint.isActive())
        return true;
    if (sinceRepaint.isValid() && sinceRepaint.elapsed() < intervalMs) {
        heldRepaint.start(static_cast<int>(intervalMs - sinceRepaint.elapsed()));
        return true;
    }
    sinceRepaint.start();
    return false;
}

void RepaintPacer::repaintNow() {
    repainting = true;
    sinceRepaint.start();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
    repainting = false;
}
