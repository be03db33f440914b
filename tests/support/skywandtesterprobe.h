// The tester-window fixture: test access to the main window's client, receiver thread and
// port text, the configuration file beside the test executable, and what the window has on
// the screen.
#ifndef SKYWANDTESTERPROBE_H
#define SKYWANDTESTERPROBE_H

#include "skywandtester.h"
#include "trackreceiver.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

class SkywandtesterProbe {
public:
    static Ombrix* client(const Skywandtester& w) { return w.ombrix; }
    static TrackReceiver* receiver(const Skywandtester& w) { return w.trackReceiver; }
    static QByteArray portText(const Skywandtester& w) { return QByteArray(w.dataPort); }
    // What the port dialog does with an accepted, changed port.
    static void changePort(Skywandtester& w, const QByteArray& text);

    static QString configPath();
    static void writeConfig(const QByteArray& content);
    static QByteArray readConfig(); // "<missing>" when there is none
};

// " Version V01 - Skywand ID: S<n> - Port: <port> "
QString statusLine(int deviceNumber, const QByteArray& portText);
// The status-bar label's text.
QString statusText(const Skywandtester& w);

// Runs the application's event loop until something ends it, doing `action` afterMs into it.
// A loop still running after guardMs is ended with exit code 3, so that a hang fails the test
// instead of stalling it. Returns the loop's exit code.
int runEventLoop(QObject* context, int afterMs, int guardMs, const std::function<void()>& action);

// What a shown window has on the screen (its backing store), and what a full repaint gives.
QImage onScreen(QWidget& window);
QImage fullRepaint(QWidget& window);
// Handles events until `done` holds or timeoutMs passed; returns `done`.
bool settleUntil(const std::function<bool()>& done, int timeoutMs = 3000);

#endif // SKYWANDTESTERPROBE_H
