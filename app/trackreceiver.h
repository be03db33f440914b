// The receiver thread: calls the tracking client's blocking receive in a loop, publishes the
// outcome for the GUI thread and announces it with one of two signals.
//
// The GUI thread presents the newest published state, so an announcement that is still
// waiting to be handled covers every frame published after it: while one is pending, the loop
// publishes without emitting. The receiving window calls takeNotification() right before it
// reads the published state, and the next receive is announced again.
//
// The thread holds the client without owning it: the main window creates and deletes the
// client, and hands over a new one with setOmbrixObject while the thread is stopped.

#ifndef TRACKRECEIVER_H
#define TRACKRECEIVER_H

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class Ombrix;
class TrackingSnapshot;

class TrackReceiver : public QThread {
    Q_OBJECT

public:
    // How long the loop rests after a receive on a client whose socket did not open: such a
    // receive fails at once, and without the rest the loop would flood the GUI thread with
    // error signals. Other failures need no rest: a time-out has waited already, and a bad
    // datagram was sent by someone, so the traffic itself sets the pace.
    static constexpr int failurePauseMs = 1000;

    TrackReceiver(Ombrix* ombrix, TrackingSnapshot* snapshot, QObject* parent = nullptr);
    ~TrackReceiver() override;

    // Only while the thread is not running.
    void setOmbrixObject(Ombrix* client);

    // Ends the loop and waits until it has finished (within one data time-out), leaving
    // the thread ready to be started again.
    void stop();

    // Called by the receiving window right before it reads the published state.
    void takeNotification() { notificationPending.exchange(false); }

signals:
    void sendMessageDataArrived();
    void sendMessageDataError();

public slots:
    // Returns at once; the loop ends when the receive in progress returns (within one data
    // time-out) or at once when it rests after a failure.
    void onStop();

protected:
    void run() override;

private:
    void pauseAfterFailure();

    Ombrix* ombrix;
    TrackingSnapshot* snapshot;
    std::atomic<bool> running{true}; // loop flag: cleared by onStop, set again by stop
    // Set when a signal was emitted, cleared by takeNotification().
    std::atomic<bool> notificationPending{false};

    std::mutex pauseMutex;
    std::condition_variable pauseEnded;
};

#endif // TRACKRECEIVER_H
