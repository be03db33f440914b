// The summary of ombrix-monitor as text: the live block, the plain periodic line, the end line.

#ifndef SUMMARYVIEW_H
#define SUMMARYVIEW_H

#include "streamstats.h"

#include <string>
#include <vector>

class SummaryView {
public:
    // port: the port listened on; record_file: empty when not recording.
    SummaryView(unsigned short port, std::string record_file);

    // The lines of the block that a terminal shows refreshed in place, each without a line end.
    std::vector<std::string> liveLines(const StreamStats& stats, double now, double elapsed) const;
    // One line, without a line end, for output that is not a terminal.
    std::string plainLine(const StreamStats& stats, double now, double elapsed) const;
    // The closing line, without a line end. recorded = frames written to the record file.
    std::string finalLine(const StreamStats& stats, double elapsed,
                          unsigned long long recorded) const;

private:
    std::string intervalText(const StreamStats& stats, double now) const;
    std::string lastFrameText(const StreamStats& stats) const;

    unsigned short port;
    std::string record_file;
};

#endif // SUMMARYVIEW_H
