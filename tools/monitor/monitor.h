// One run of ombrix-monitor: the tracking client on a port, the figures, the chosen view.

#ifndef MONITOR_H
#define MONITOR_H

#include "devicecheckview.h"
#include "frameview.h"
#include "monitoroptions.h"
#include "replaywriter.h"
#include "streamstats.h"
#include "summaryview.h"
#include "terminalblock.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class Forwarder;
class Ombrix;

class Monitor {
public:
    enum ExitStatus { success = 0, runtime_failure = 1, bad_input = 2 };

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
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Runs until the frame count or duration is reached, stop becomes true, the output or
    // record file fails, or the device is found or its check has a verdict. Returns the
    // process exit status.
    int run(const std::atomic<bool>& stop);

    static const char* version();

private:
    bool openRecording(unsigned short port);
    // One receive of the client and everything that follows from it.
    void receiveOnce(const std::atomic<bool>& stop);
    void frameParsed(double now);
    void datagramUnparsed(double now, std::string_view datagram, unsigned dropped);
    void record(double now, std::string_view datagram, unsigned dropped);
    void showSummary(double now, bool final_refresh);
    // False when the output or the record file failed; the run then ends with status set.
    bool checkStreams();
    double seconds() const;
    bool openForwarding(unsigned short port);
    void reportForwarding(double now);

    const MonitorOptions& options;
    std::ostream& out;
    std::ostream& err;
    const bool out_is_terminal;

    std::unique_ptr<Forwarder> forwarder; // before the client, whose observer uses it
    std::unique_ptr<Ombrix> client;
    double start_s = 0;
    std::optional<StreamStats> stats;
    std::optional<SummaryView> view;
    std::unique_ptr<FrameView> frame_view;       // with --skywand, --raw or --json
    std::optional<DeviceCheckView> device_check; // with --find or --check

    std::ofstream record_file;
    std::unique_ptr<ReplayWriter> recorder;
    std::optional<double> last_recorded_s;
    unsigned long long recorded = 0;

    double next_refresh_s = 0;
    double next_forward_report_s = 0;
    TerminalBlock live_block;
    std::uint64_t silence_reported = 0; // time-outs already shown in the Skywand view
    bool finished = false;
    int status = success;
};

#endif // MONITOR_H
