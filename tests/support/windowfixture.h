// The tester-window fixture of the GUI tests: before each test a free port written into the
// configuration file beside the test executable and a frame sender aimed at it; after each
// test the window, the sender and the file gone. Also what the window shows.
#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "framesender.h"
#include "skywandtesterprobe.h"

#include <QLabel>

#include <memory>

using Probe = SkywandtesterProbe;

class WindowFixture : public QObject {
    Q_OBJECT

public:
    static QString configPath();
    static void writeConfig(const QByteArray& content);
    static QByteArray readConfig(); // "<missing>" when it cannot be read
    // " Version V01 - Skywand ID: S<n> - Port: <port> "
    static QString statusLine(int deviceNumber, const QByteArray& portText);

protected:
    // Starts sending `frame` every 10 ms and opens the window, whose constructor waits for the
    // first frame. Sending goes on unless `thenStop`.
    void openWindow(const QByteArray& frame, bool thenStop = false);
    QLabel* label(const char* name) const;
    QString statusText() const { return label("statusLabel")->text(); }

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;

private slots:
    void init();
    void cleanup();
};

#endif // WINDOWFIXTURE_H
