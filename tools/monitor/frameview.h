// ombrix-monitor's per-frame views (--skywand, --raw, --json): what each prints on the output
// for every receive.

#ifndef FRAMEVIEW_H
#define FRAMEVIEW_H

#include "monitoroptions.h"

#include <memory>
#include <ostream>
#include <string_view>

class Ombrix;

class FrameView {
public:
    virtual ~FrameView() = default;

    // The view the options ask for; none for the summary and the device check, which print
    // nothing per frame. out must outlive the view.
    static std::unique_ptr<FrameView> create(const MonitorOptions& options, std::ostream& out);

    // elapsed: seconds since the start; dropped: older datagrams skipped to reach this one.
    // The frame the client parsed last.
    virtual void frame(const Ombrix& client, double elapsed, unsigned dropped) = 0;
    // A datagram that is not a frame.
    virtual void unparsed(std::string_view datagram, double elapsed, unsigned dropped) = 0;
    // A receive that got no usable datagram.
    virtual void receiveError(double elapsed) = 0;
    // No datagram for this many seconds; told once per whole second of silence.
    virtual void silence(double) {}

protected:
    explicit FrameView(std::ostream& out) : out(out) {}
    std::ostream& out;
};

#endif // FRAMEVIEW_H
