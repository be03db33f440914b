#include "monitoroptions.h"

#include "Ombrix.h"
#include "commandline.h"
#include "forwarder.h"

bool MonitorOptions::parse(const std::vector<std::string>& args, std::string& error) {
    CommandLine line;
    line.app.add_flag("-h,--help", help);
    line.app.add_flag("--version", version);
    line.count("--port", port, 0, 65535);
    line.text("--record", record_file, "a file name");
    line.count("--frames", frames, 1, UINT64_MAX);
    line.seconds("--duration", duration);
    line.app.add_option("--forward", forward)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(Forwarder::checkForm);

    // Only one view prints on the output, per datagram or for the search or the check; two
    // would interleave there.
    CLI::Option* const views[] = {
        line.app.add_flag("--raw", raw), line.app.add_flag("--json", json),
        line.count("--skywand", skywand, 1, Ombrix::max_records), line.app.add_flag("--find", find),
        line.count("--check", check, 1, Ombrix::max_records)};
    line.text("--report", report_file, "a file name")->needs(views[4]);
    for (CLI::Option* view : views) {
        for (CLI::Option* other : views) {
            if (view != other) {
                view->excludes(other);
            }
        }
    }
    if (!line.parse(args, error)) {
        return false;
    }
    if (forward.size() > Forwarder::max_destinations) {
        error =
            "--forward: at most " + std::to_string(Forwarder::max_destinations) + " destinations";
        return false;
    }
    return true;
}

std::string MonitorOptions::helpText() {
    return R"(Usage: ombrix-monitor [OPTION]...
Listens for an Ombrix controller's tracking frames on a UDP port, parses each one with the
tester's own tracking client, and shows what arrives: a live summary, or one line or object
per frame. For finding out whether frames arrive, how steadily, whether any are lost, and
what exactly the controller sends.

  --port PORT          UDP port to listen on (default 5000); 0 takes a free port and
                       prints which
  --skywand N          one line per frame with Skywand N's quality, buttons (1 = pressed)
                       and joystick values; N counts from 1, as the tester's S1, S2, ...
  --raw                each datagram's text as received, as a block of replay-file lines:
                       line feeds end the lines, a CR shows as \r, a tab as \t, other
                       control bytes and bytes from 127 up as \xHH, a backslash as \\; a
                       "#" comment line before each block gives its arrival time, size
                       and parse result, and a blank line follows it
  --json               one JSON object per line for each datagram, for scripts (below)
  --record FILE        write every datagram read to FILE as a replay file, with @delay
                       lines from the arrival times, so that "ombrix-sim --replay FILE"
                       sends the same stream again; an existing FILE is replaced
  --frames N           stop after N frames arrived (unparsable and dropped ones
                       included)
  --duration SECONDS   stop after this many seconds, decimals allowed
  --find               wait for the Skywand in your hand: the first one on which a
                       button goes down; prints its name (S2) as the last line and
                       exits; a button already held at the start counts only once
                       released and pressed again
  --check N            check Skywand N (counted from 1): every button pressed and
                       released, the joystick at its edge in all eight directions and
                       then at rest for a second, the tracking; ends at the verdict
                       (below); --duration is its time limit, 120 s by default
  --report FILE        with --check: write the check's report to FILE as JSON at the
                       end (below); an existing FILE is replaced only then
  --forward HOST:PORT  pass every datagram read on to HOST:PORT (an IPv4 address or a
                       host name), unchanged and in arrival order, unparsable ones too;
                       repeat for up to 8 destinations. The tester or an application
                       listens there while the controller sends to the monitor's port,
                       so the stream can be watched or recorded during a session. All
                       datagrams are read and forwarded, even when the views keep up
                       only with the newest. A destination that refuses or cannot be
                       reached is counted, shown in the summary (with a view, on
                       standard error once a second while errors grow) and never
                       ends the run; the others keep receiving
  -h, --help           show this help and exit
  --version            show the version and exit

The summary. Without --skywand, --raw, --json, --find or --check it is refreshed in place
about four times a second when the output is a terminal, and printed as one plain line per
second otherwise. With one of them, the per-frame output goes to standard output and only
the final summary is printed, on standard error.
  rate         datagrams that arrived in the last second
  interval     time between consecutive arrivals over the last second: median (p50),
               99th percentile (p99), and the jitter p99 - p50, in milliseconds
  received     datagrams that arrived, dropped ones included
  lost         frames that never arrived: counters the controller skipped that no
               datagram carried, the ones skipped to reach the newest included; a
               counter up to 63 behind the highest arrived late and is not lost
  dropped      datagrams that arrived while an older one waited and were skipped to reach
               the newest, as the tester skips them when it falls behind
  restarts     times the frame counter went back by 64 or more or jumped ahead by more
               than 1000000; counting starts anew there and counts no loss
  time-out     one for every full second without any datagram (the tester waits one
               second for a frame and shows a time-out after it); silence before the
               first datagram counts too
  receive      datagrams that could not be read or were empty
  parse        datagrams that are not a valid tracking frame
  last frame   its frame counter and timestamp, and the number of records of each kind
               that the client holds after it (bodies, skywands, tools = measurement
               tools, hands, markers)

JSON objects. A parsed frame:
  {"frame":N,"timestamp":T,"dropped":D,"bodies":[...],"skywands":[...],
   "tools":[...],"hands":[...],"markers":[...]}
each record with its "id", "quality", "position" [x,y,z] and, where it has them,
"rotation" (9 values, in the order of the frame), "buttons" (0/1 each), "joystick",
"handedness" and "fingers" (each with "position", "rotation", "tip_radius",
"phalanx_length" [3], "phalanx_angle" [2]). A kind that a frame does not mention keeps
the records of the frame before, as in the tester. Numbers that are not finite are null.
A datagram that is not a frame: {"error":"parse","bytes":B,"datagram":"<its text>"}; an
empty or unreadable one: {"error":"receive"}.

The search and the check. --find and --check print their own view on standard output
instead of the summary, which goes to standard error at the end; they exclude each other
and --skywand, --raw and --json, whose lines would mix with theirs. The options --record,
--frames and --duration work as without them. The check's list is redrawn in place about
ten times a second when the output is a terminal; otherwise one line tells when the
device's data first arrives and one when an item passes (or no longer does). The last line
gives the verdict: "S2: pass in 14.2 s", or with the items still open "S2: fail after
120.0 s (time limit); open: Joystick". The check takes a frame as evidence of the device
only when the frame's Skywand line carried the device's record with quality 0 or more; an
empty checklist never passes. Presses, bounces (a press less than 30 ms after the button
came up), the one-second rest and the time limit are timed by the frames' "ts" when the
frames have one, by arrival otherwise ("time_base" in the report); nothing arriving after
the limit can pass. Lost frames are counters the controller skipped: the frame counter of
every datagram read counts, those skipped to reach the newest too, so a busy machine loses
none; a counter arriving late (within 64) is reordered, one arriving again repeated, and a
step back of more or a jump beyond 1000000 a restart, none of them lost. Datagrams that are
not a frame are counted as unparsable, not as lost. The report holds "device", "verdict",
"started", "duration_s", "time_base", "port", "buttons" [{"name","ok","presses",
"bounces"}], "joystick" {"ok","skipped","directions_reached","max_deflection","rest_x",
"rest_y"}, "tracking" {"ok","frames","tracked_share","lost_frames","reordered_frames",
"repeated_frames","unparsable","counter_restarts","rate_hz"} and "open" (the items not
passed); "tracked_share" is cut, not rounded, to 4 decimals, so it never reads 0.95 below
the 95 % needed. The report goes to a temporary file beside FILE that replaces FILE only
once complete; an existing FILE stays untouched until then.

Ctrl+C (SIGINT), SIGTERM or SIGHUP (a closed terminal) stops the monitor; the final summary
is printed either way; a check ends as a fail, its verdict line saying it was stopped, and
its report is written.

Exit status: 0 when the run ended as asked (also by Ctrl+C), 1 on a run-time failure (port
in use, record file not writable, output not writable), 2 on a bad argument. With --find:
0 when a Skywand was found, 1 when none was before --duration ran out or Ctrl+C. With
--check: 0 for pass, 1 for fail (also when ended by Ctrl+C or --frames, or when the report
could not be written).
)";
}
