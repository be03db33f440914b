// The summary of ombrix-monitor: a block refreshed in place on a terminal, a plain line per
// second elsewhere, and the closing line.

#ifndef SUMMARYVIEW_H
#define SUMMARYVIEW_H

#include "frameview.h"
#include "terminalblock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SummaryView : public FrameView {
public:
    // record_file: empty when not recording.
    SummaryView(std::string record_file, const Context& context);

    void frame(const Ombrix& client, double elapsed, unsigned dropped) override;
    bool tick(double now) override;
    int finish(double now, bool stopped, bool failed) override;

    // The closing line, without a line end; elapsed: seconds since the start.
    static std::string finalLine(const StreamStats& stats, double elapsed,
                                 const std::string& record_file, const Forwarder* forwarder);

private:
    void show(double now, bool final_refresh);
    std::string intervalText(double now) const;
    std::string lastFrameText() const;

    const std::string record_file;
    // The frame parsed last: its counter, its timestamp and how many records of each kind the
    // client held after it (bodies, skywands, tools, hands, markers).
    struct LastFrame {
        std::uint32_t counter;
        double timestamp;
        std::array<int, 5> records;
    };
    std::optional<LastFrame> last;
    TerminalBlock block;
    double next_refresh_s;
};

#endif // SUMMARYVIEW_H
