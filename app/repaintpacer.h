// Holds a window's repaints to the pace of the screen: at frame rates above the screen's
// refresh rate, repainting after every frame paints pictures nobody sees.
//
// The first repaint after a quiet spell goes through at once; repaints asked for within one
// refresh interval after it wait until the interval is over and are then done together. Qt
// keeps collecting the dirty areas meanwhile, and the repaint paints the widgets as they are
// when it runs, so the newest values are always the ones painted, at most one interval late.

#ifndef REPAINTPACER_H
#define REPAINTPACER_H

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

class RepaintPacer : public QObject {
    Q_OBJECT

public:
    // Paces the repaints of the top-level `window`; owned by it.
    RepaintPacer(QWidget* window, int intervalMs);

    int interval() const { return intervalMs; }
    // The interval for a screen refreshing at `hertz` times a second (60 when unknown).
    static int intervalFor(double hertz);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void repaintNow();

    QWidget* window;
    int intervalMs;
    QElapsedTimer sinceRepaint;
    QTimer heldRepaint;
    bool repainting = false;
};

#endif // REPAINTPACER_H
