// One run of ombrix-monitor: the tracking client on a port, the figures, the chosen view.

#ifndef MONITOR_H
#define MONITOR_H

#include "Ombrix.h"
#include "commandline.h"
#include "forwarder.h"
#include "frameview.h"
#include "monitoroptions.h"
#include "replaywriter.h"
#include "streamstats.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>

class Monitor {
public:
    // The client waits this long per receive, so that the summary refreshes and a stop request
    // is noticed within it even when nothing arrives.
    static constexpr int receive_timeout_us = 200000;
    // Room for the largest UDP datagram, so that no frame is cut or refused for its size.
    static constexpr int receive_buffer_size = 65536;

    // out receives the summary or the per-frame view, err the messages and, with a per-frame
    // view, the final summary. out_is_terminal selects the in-place summary. Both streams must
    // outlive run().
    Monitor(const MonitorOptions& options, std::ostream& out, std::ostream& err,
            bool out_is_terminal);

    // Runs until the frame count or duration is reached, stop becomes true, the output or
    // record file fails, or the device is found or its check has a verdict. Returns the
    // process exit status.
    int run(const std::atomic<bool>& stop);

    static const char* version();

private:
    // The forwarding, the port and the recording; the exit status when one cannot be opened.
    std::optional<int> open();
    // One receive of the client and everything that follows from it: the figures, the
    // recording, the view.
    void receiveOnce(const std::atomic<bool>& stop);
    // False when the output or the record file failed, with status set.
    bool checkStreams();

    const MonitorOptions& options;
    std::ostream& out;
    std::ostream& err;
    const bool out_is_terminal;

    std::unique_ptr<Forwarder> forwarder; // before the client, whose observer uses it
    std::unique_ptr<Ombrix> client;
    double start_s = 0;
    std::optional<StreamStats> stats;
    std::unique_ptr<FrameView> view;

    std::ofstream record_file;
    std::unique_ptr<ReplayWriter> recorder;
    std::optional<double> last_recorded_s;

    double next_second_s = 0;
    int status = success;
};

#endif // MONITOR_H
