// The tracking stream of the display benchmark: the simulated controller's generated scene
// (the frames ombrix-sim sends), generated before the run so that sending allocates nothing,
// and sent to a UDP port at a fixed rate from a thread of its own.
//
// Every frame's send time is recorded, and every frame can be told from the others by the
// first Skywand's joystick values as the client reads them: the joystick goes round a circle
// once every four seconds and moves by far more than the text's last decimal from frame to
// frame, so no two frames of one turn carry the same pair.

#ifndef FRAMESTREAM_H
#define FRAMESTREAM_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class FrameStream {
public:
    struct Joystick {
        float horizontal = 0;
        float vertical = 0;
        bool operator==(const Joystick& other) const {
            return horizontal == other.horizontal && vertical == other.vertical;
        }
    };

    // frames at rate Hz of `skywands` devices in the newer layout.
    FrameStream(double rate, int skywands, int frames);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // Starts sending to 127.0.0.1:port. afterSend runs in the sending thread right after
    // each frame went out, with the frame's index and send time; it must not allocate.
    bool start(unsigned short port, std::function<void(int, std::int64_t)> afterSend,
               std::string& error);
    // Waits until every frame was sent.
    void join();

    int frameCount() const { return static_cast<int>(datagrams.size()); }
    // Frames sent or being sent; their send times are final.
    int sentCount() const { return sent.load(std::memory_order_acquire); }
    std::int64_t sendNs(int index) const { return sendTimes[static_cast<size_t>(index)]; }
    const std::string& datagram(int index) const { return datagrams[static_cast<size_t>(index)]; }
    // The first Skywand's joystick in frame `index`, as the client parses it.
    Joystick joystick(int index) const { return joysticks[static_cast<size_t>(index)]; }

    // The newest frame sent so far, at or after `oldest`, that carries this joystick pair;
    // -1 when none does.
    int newestFrameWith(const Joystick& joystick, int oldest) const;

    // CLOCK_MONOTONIC in nanoseconds, the clock of the send times.
    static std::int64_t nowNs();

private:
    void send(unsigned short port);

    double rate;
    std::vector<std::string> datagrams;
    std::vector<Joystick> joysticks;
    std::vector<std::int64_t> sendTimes;
    std::atomic<int> sent{0};
    std::function<void(int, std::int64_t)> afterSend;
    std::thread sender;
};

#endif // FRAMESTREAM_H
