// ombrix-monitor's views: what it shows of the stream. The monitor tells the view of every
// receive and asks it after each one whether the run has what it was for. The per-frame views
// (--skywand, --raw, --json) print a line or a block for every datagram; the summary
// (summaryview.cpp), the search and the check (devicecheckview.cpp) have their own files.

#ifndef FRAMEVIEW_H
#define FRAMEVIEW_H

#include "monitoroptions.h"
#include "streamstats.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class Forwarder;
class Ombrix;

class FrameView {
public:
    // What a view may show beside the frames; every part outlives the view.
    struct Context {
        std::ostream& out;
        std::ostream& err;
        bool out_is_terminal;
        unsigned short port; // listened on
        double start_s;      // the run's start on the monitor's steady clock
        const StreamStats& stats;
        const Forwarder* forwarder; // none without --forward
    };

    explicit FrameView(const Context& context) : context(context), out(context.out) {}
    virtual ~FrameView() = default;

    // The view the options ask for, started; none, with a message on the error output, when
    // it cannot start.
    static std::unique_ptr<FrameView> create(const MonitorOptions& options, const Context& context);
    // The live summary; record_file is empty when not recording.
    static std::unique_ptr<FrameView> summary(const std::string& record_file,
                                              const Context& context);
    // The search (--find) or the check (--check), which tell the user what to do.
    static std::unique_ptr<FrameView> device(const MonitorOptions& options, const Context& context);

    // Every datagram the client read, the skipped ones included, once the figures counted it:
    // its frame counter, none when it has no readable one.
    virtual void datagramRead(std::optional<std::uint32_t>) {}
    // elapsed: seconds since the start; dropped: older datagrams skipped to reach this one.
    // The frame the client parsed last.
    virtual void frame(const Ombrix&, double /*elapsed*/, unsigned /*dropped*/) {}
    // A datagram that is not a frame.
    virtual void unparsed(std::string_view, double /*elapsed*/, unsigned /*dropped*/) {}
    // A receive that got no usable datagram.
    virtual void receiveError(double /*elapsed*/) {}
    // A receive that waited its whole time-out in vain, at now on the monitor's clock.
    virtual void waited(double /*now*/) {}
    // After every receive, whatever it gave. True once the run has what it was for: the device
    // found, the verdict in.
    virtual bool tick(double /*now*/) { return false; }
    // The end of the run: stopped by a signal, failed when the output or the recording did.
    // Returns the view's exit status.
    virtual int finish(double /*now*/, bool /*stopped*/, bool /*failed*/) { return 0; }

protected:
    const Context context;
    std::ostream& out;
};

// The run's closing line, without a line end, whatever the view; elapsed: seconds since the
// start.
std::string closingLine(const StreamStats& stats, double elapsed, const std::string& record_file,
                        const Forwarder* forwarder);

#endif // FRAMEVIEW_H
