// The outcome of a device check: what every item reached, the verdict, and the figures, as the
// tester shows them and as both the tester and the monitor write them into a lab log (JSON).

#ifndef CHECKREPORT_H
#define CHECKREPORT_H

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

// stopped: ended without a verdict on the device, e.g. because the data port changed.
enum class CheckVerdict { running, pass, fail, stopped };

struct ButtonResult {
    std::string name;  // the panel's name, e.g. "Button 1" or "Joystick press"
    bool ok = false;   // has gone down and come up again
    bool down = false; // pressed in the newest frame
    int presses = 0;
    int bounces = 0; // press edges that followed the button's release within the bounce window
};

struct JoystickResult {
    bool present = false; // false for a device that reports no joystick values: item skipped
    bool ok = false;      // passed, or skipped
    std::array<bool, 8> reached{}; // sector k is centred on k * 45 degrees, 0 = right, 2 = up
    int directionsReached = 0;
    double maxDeflection = 0.0;
    // Mean position of the rest that passed the item, or of the latest full rest before that.
    std::optional<double> restX, restY;
};

struct TrackingResult {
    bool ok = false;
    long frames = 0;        // parsed frames checked
    long trackedFrames = 0; // of them, the frames whose line carried the device, tracked
    // Counters the controller sent that arrived in no datagram read.
    long lostFrames = 0;
    long reorderedFrames = 0; // arrived after a later counter
    long repeatedFrames = 0;  // a counter that had arrived already
    long unparsable = 0;      // datagrams read that could not be parsed
    long counterRestarts = 0;
    double rateHz = 0.0; // datagrams with a frame counter per second of arrival

    // The tracked share truncated to `decimals`, so that a share below a threshold never
    // shows as the threshold itself.
    double trackedShare(int decimals = 4) const;
};

struct CheckReport {
    std::string device; // "S2"
    int port = 0;
    std::string started;    // ISO 8601 local time
    double durationS = 0.0; // on the check's clock
    std::string timeBase;   // "frame": timed by the frames' "ts"; "arrival": by their arrival
    CheckVerdict verdict = CheckVerdict::running;
    std::string stopReason; // with the verdict stopped, e.g. "the data port changed"
    // A record with buttons or joystick values has arrived, so the checklist is known; until
    // then the open items begin with deviceDataItem.
    bool deviceSeen = false;
    std::vector<ButtonResult> buttons;
    JoystickResult joystick;
    TrackingResult tracking;
    std::vector<std::string> openItems; // names of the items not passed (yet)
};

// The item open until the device's checklist is known.
inline constexpr const char* deviceDataItem = "Device data";

// "running", "pass", "fail" or "stopped".
const char* verdictText(CheckVerdict verdict);

// The report as one JSON object, numbers rounded to what the measurement supports.
std::string reportJson(const CheckReport& report);

// A wall-clock time as ISO 8601 local time with its offset, e.g. 2026-12-06T20:15:03+01:00.
std::string isoLocalTime(std::chrono::system_clock::time_point time);

#endif // CHECKREPORT_H
