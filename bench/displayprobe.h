// The display benchmark's application object: it watches the tester's window from the event
// dispatch, without changing what the window does.
//
// - A notification handled: the queued signal of the receiver thread (a meta-call event to
//   the window) has been processed. The frame the panel now holds is found by the indicator's
//   joystick values. When the panel's visible state (knob, label texts, styles and visibility,
//   status line) equals what the screen shows, the frame is shown at once; otherwise it is
//   shown when the next repaint has been flushed.
// - A repaint flushed: the window's update request (painting the dirty region and handing it
//   to the platform) has been processed and painted something; the screen now shows the
//   panel's state.
//
// A frame that a newer one replaced before the screen showed it (the receiver thread had a
// newer datagram already, or the window handled a newer frame before it repainted) has no
// time of its own.

#ifndef DISPLAYPROBE_H
#define DISPLAYPROBE_H

#include "framestream.h"
#include "joystickwidget.h"

#include <QApplication>
#include <QList>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class QLabel;
class QWidget;

class DisplayProbe : public QApplication {
public:
    DisplayProbe(int& argc, char** argv);

    // Starts watching `window` for the frames of `stream`.
    void watch(QWidget* window, const FrameStream* stream);

    bool notify(QObject* receiver, QEvent* event) override;

    // Notifications the window has handled (meta-call events processed), any thread may read.
    unsigned long long handledNotifications() const { return handled.load(); }
    // Repaints of the window flushed to the platform.
    unsigned long long flushedRepaints() const { return flushes; }

    // When the screen first showed each frame's state (its values and everything else the
    // panel shows), in send-time clock nanoseconds; 0 for a frame it never showed because a
    // newer one replaced it first.
    const std::vector<std::int64_t>& shownTimes() const { return shownNs; }
    // When the screen first showed each frame's state or a newer frame's: for a frame never
    // shown itself, the time the next shown frame appeared.
    std::vector<std::int64_t> shownOrReplacedTimes() const;
    // The newest frame the screen shows; -1 before the first.
    int newestShownFrame() const { return newestShown; }
    // How long each handled notification and each flushed repaint took, in nanoseconds.
    const std::vector<std::int64_t>& notificationDurations() const { return notificationNs; }
    const std::vector<std::int64_t>& repaintDurations() const { return repaintNs; }
    // Frames the tester handled itself.
    int framesHandled() const { return framesSeen; }

private:
    struct VisibleState {
        double h = 0, v = 0;
        bool pressed = false;
        // Copies of the labels' own strings: taking a state allocates nothing.
        std::array<QString, 7> texts;
        std::array<QString, 7> styles;
        std::array<bool, 7> hidden{};
        QString status;
        bool operator==(const VisibleState& other) const;
    };

    void afterNotification();
    void afterRepaint();
    VisibleState visibleState() const;

    QWidget* window = nullptr;
    const FrameStream* stream = nullptr;
    JoystickWidget* indicator = nullptr;
    QList<QLabel*> labels; // panel indexes 0 to 6, then the status label

    std::atomic<unsigned long long> handled{0};
    unsigned long long flushes = 0;
    unsigned long long paints = 0; // paint events of any widget
    int framesSeen = 0;

    std::vector<std::int64_t> shownNs;
    std::vector<std::int64_t> notificationNs;
    std::vector<std::int64_t> repaintNs;
    int newestHandled = -1; // frame the panel holds
    int newestShown = -1;   // frame the screen shows
    bool screenKnown = false;
    VisibleState screen;
};

#endif // DISPLAYPROBE_H
