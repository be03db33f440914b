// Sends tracking frames to the tester over real UDP on loopback, once or in turn from a
// background thread (the tester's first receive blocks the GUI thread, so frames that must
// arrive meanwhile come from another thread).
#ifndef FRAMESENDER_H
#define FRAMESENDER_H

#include "net.h"
#include "wandframes.h"

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <mutex>
#include <thread>

class FrameSender {
public:
    explicit FrameSender(quint16 port) : port(port) {}
    ~FrameSender() { stop(); }
    FrameSender(const FrameSender&) = delete;
    FrameSender& operator=(const FrameSender&) = delete;

    void send(const QByteArray& frame) { socket.send(port, frame.toStdString()); }
    // Sends the frames in turn, one every intervalMs (0: as fast as possible), until stop().
    void cycle(const QList<QByteArray>& frames, int intervalMs);
    void stop();

    using Device = WandDevice;
    static QByteArray frame(const std::vector<Device>& devices, unsigned number = 1) {
        return QByteArray::fromStdString(wandFrame(devices, number));
    }

private:
    UdpSocket socket;
    quint16 port;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

#endif // FRAMESENDER_H
