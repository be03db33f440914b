// Sends tracking frames to the tester over real UDP on loopback, once or repeatedly from a
// background thread (the tester's first receive blocks the GUI thread, so frames that must
// arrive during construction come from another thread).

#ifndef FRAMESENDER_H
#define FRAMESENDER_H

#include <QByteArray>
#include <QList>

#include "net.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class FrameSender {
public:
    explicit FrameSender(quint16 port);
    ~FrameSender();

    FrameSender(const FrameSender&) = delete;
    FrameSender& operator=(const FrameSender&) = delete;

    void send(const QByteArray& frame);
    // Sends `frame` every intervalMs until stop(); a later call only replaces the frame.
    void repeat(const QByteArray& frame, int intervalMs = 10);
    // Sends the frames in turn, one every intervalMs, until stop().
    void cycle(const QList<QByteArray>& frames, int intervalMs);
    void stop();

private:
    void loop();

    int socketFd = -1;
    quint16 port;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    QList<QByteArray> frames;
    int interval = 10;
    bool stopping = false;
};

#endif // FRAMESENDER_H
