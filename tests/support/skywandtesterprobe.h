// Test access to the main window's client, receiver thread and port text.
#ifndef SKYWANDTESTERPROBE_H
#define SKYWANDTESTERPROBE_H

#include "skywandtester.h"
#include "trackreceiver.h"

class SkywandtesterProbe {
public:
    static Ombrix* client(const Skywandtester& w) { return w.ombrix; }
    static TrackReceiver* receiver(const Skywandtester& w) { return w.trackReceiver; }
    static QByteArray portText(const Skywandtester& w) { return QByteArray(w.dataPort); }
    // What the port dialog does with an accepted, changed port.
    static void changePort(Skywandtester& w, const QByteArray& text) {
        qstrncpy(w.dataPort, text.constData(), sizeof(w.dataPort));
        w.writeSettingsToConfig();
        w.RestartDataReceiver();
    }
};

#endif // SKYWANDTESTERPROBE_H
