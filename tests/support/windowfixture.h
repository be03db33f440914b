// The tester-window fixture of the GUI tests: before each test a free port written into the
// configuration file and a frame sender aimed at it, and after each test the window, the
// sender and the file gone.
#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

#include "framesender.h"
#include "skywandtester.h"

#include <QLabel>
#include <QObject>

#include <memory>

class WindowFixture : public QObject {
    Q_OBJECT

protected:
    // Starts sending `frame` every 10 ms and opens the window, whose constructor waits for the
    // first frame. Sending goes on unless `thenStop`.
    void openWindow(const QByteArray& frame, bool thenStop = false);
    QLabel* label(const char* name) const;

    quint16 port = 0;
    std::unique_ptr<FrameSender> sender;
    std::unique_ptr<Skywandtester> window;

private slots:
    void init();
    void cleanup();
};

#endif // WINDOWFIXTURE_H
