// Counts the events of one type that an event filter sees: installed on one object, or on the
// application for all of them.
#ifndef EVENTCOUNTER_H
#define EVENTCOUNTER_H

#include <QEvent>
#include <QObject>

class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type) : type(type) {}
    int count = 0;

    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == type;
        return false;
    }

private:
    QEvent::Type type;
};

#endif // EVENTCOUNTER_H
