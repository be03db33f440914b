// Test access to the main window's client, receiver thread and port text, and to the
// configuration file beside the test executable.

#ifndef SKYWANDTESTERPROBE_H
#define SKYWANDTESTERPROBE_H

#include "skywandtester.h"
#include "trackreceiver.h"

#include <QByteArray>
#include <QLabel>
#include <QString>

#include <functional>

class SkywandtesterProbe {
public:
    static Ombrix* client(const Skywandtester& w) { return w.ombrix; }
    static TrackReceiver* receiver(const Skywandtester& w) { return w.trackReceiver; }
    static QByteArray portText(const Skywandtester& w) { return QByteArray(w.dataPort); }
    static int buttonCount(const Skywandtester& w) { return w.buttonCount; }

    // What the port dialog does with an accepted, changed port.
    static void changePort(Skywandtester& w, const QByteArray& text);

    static QString configPath();
    static void writeConfig(const QByteArray& content);
    static QByteArray readConfig();
    static void removeConfig();
};

// " Version V01 - Skywand ID: S<n> - Port: <port> "
QString statusLine(int deviceNumber, const QByteArray& portText);

// Runs the application's event loop until something ends it, doing `action` afterMs into it
// (in the thread of `context`). A loop still running after guardMs is ended with exit code 3,
// so that a hang fails the test instead of stalling it. Returns the loop's exit code.
int runEventLoop(QObject* context, int afterMs, int guardMs, const std::function<void()>& action);

// The window's child of that object name; the test fails hard when it is missing.
template <class T> T* childOf(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

#endif // SKYWANDTESTERPROBE_H
