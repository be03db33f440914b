// What the GUI thread reads of the tracking client, published after every receive.
//
// The client is not thread-safe and its receive blocks for up to a second, so the GUI never
// reads it directly: the thread that has just called receive copies the data error state and
// the Skywand records here, and the GUI thread's slots read this copy. The lock is held only
// to swap buffers and to read, never across a receive, so the GUI thread never waits for a
// datagram and never sees a half-written frame.

#ifndef TRACKINGSNAPSHOT_H
#define TRACKINGSNAPSHOT_H

#include "Ombrix.h"

#include <mutex>
#include <string_view>
#include <vector>

class CheckFeed;

class TrackingSnapshot {
public:
    enum class DataError { none, timeout, neterror, parseerror };

    // Called right after client.receive() returned `received`, by the thread that called it.
    // A good frame replaces the published records; a failed receive only replaces the error
    // state, so the records of the last good frame stay.
    void publish(const Ombrix& client, bool received);

    int numSkywand() const;
    // A copy of record `index`; out of range gives the untracked record, as the client does.
    ombrix_skywand_type skywand(int index) const;
    // The first error that holds, in the order time-out, network error, parse error.
    DataError dataError() const;
    // Whether the newest receive brought a frame (true before any receive).
    bool lastReceiveSucceeded() const;

    static ombrix_skywand_type untrackedSkywand(int index);

    // Given every datagram read and every good frame's Skywand records as they are
    // published; null for none. Once this returns, a publish in progress has finished, so the
    // old observer may go.
    void setObserver(CheckFeed* frameObserver);
    // Makes the client hand every datagram it reads to the observer; the client must outlive
    // its receives, and its observer calls come from the thread that receives.
    void watch(Ombrix& client);

private:
    // Serialises publishers (the GUI thread's first receive and the receiver thread never
    // publish at the same time, but this makes the hand-over explicit) and guards `staging`.
    std::mutex publishMutex;
    // Filled outside the read lock, then swapped with `published`; both keep their capacity,
    // so after the first frames publishing allocates nothing.
    std::vector<ombrix_skywand_type> staging;
    CheckFeed* observer = nullptr; // guarded by publishMutex

    mutable std::mutex readMutex;
    std::vector<ombrix_skywand_type> published;
    DataError error = DataError::none;
    bool lastReceived = true;
};

#endif // TRACKINGSNAPSHOT_H
