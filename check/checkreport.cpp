#include "checkreport.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ctime>

namespace {

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

using Json = nlohmann::ordered_json; // keys in the order a reader expects them

Json optionalNumber(const std::optional<double>& value, int decimals) {
    return value ? Json(rounded(*value, decimals)) : Json(nullptr);
}

} // namespace

double TrackingResult::trackedShare(int decimals) const {
    if (frames <= 0)
        return 0.0;
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // In whole numbers: a share of exactly 0.95 stays 0.95, one a hair below it does not.
    return double(trackedFrames * scale / frames) / double(scale);
}

const char* verdictText(CheckVerdict verdict) {
    switch (verdict) {
    case CheckVerdict::pass:
        return "pass";
    case CheckVerdict::fail:
        return "fail";
    case CheckVerdict::stopped:
        return "stopped";
    case CheckVerdict::running:
        break;
    }
    return "running";
}

std::string reportJson(const CheckReport& report) {
    Json buttons = Json::array();
    for (const ButtonResult& b : report.buttons)
        buttons.push_back(
            {{"name", b.name}, {"ok", b.ok}, {"presses", b.presses}, {"bounces", b.bounces}});

    const JoystickResult& j = report.joystick;
    // A device without joystick values skips the item, which then counts as passed.
    const Json joystick = {{"ok", j.ok},
                           {"skipped", !j.present},
                           {"directions_reached", j.directionsReached},
                           {"max_deflection", rounded(j.maxDeflection, 2)},
                           {"rest_x", optionalNumber(j.restX, 3)},
                           {"rest_y", optionalNumber(j.restY, 3)}};

    const TrackingResult& t = report.tracking;
    const Json tracking = {{"ok", t.ok},
                           {"frames", t.frames},
                           {"tracked_share", t.trackedShare()},
                           {"lost_frames", t.lostFrames},
                           {"reordered_frames", t.reorderedFrames},
                           {"repeated_frames", t.repeatedFrames},
                           {"unparsable", t.unparsable},
                           {"counter_restarts", t.counterRestarts},
                           {"rate_hz", rounded(t.rateHz, 1)}};

    Json out = {{"device", report.device},   {"verdict", verdictText(report.verdict)},
                {"started", report.started}, {"duration_s", rounded(report.durationS, 1)},
                {"time_base", report.timeBase}, {"port", report.port}};
    if (report.verdict == CheckVerdict::stopped)
        out["stopped_because"] = report.stopReason;
    out["buttons"] = buttons;
    out["joystick"] = joystick;
    out["tracking"] = tracking;
    out["open"] = report.openItems;
    return out.dump(1) + '\n';
}

std::string isoLocalTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
        return {};
    // strftime writes the offset as +hhmm; the extended format wants +hh:mm.
    std::string iso(text);
    if (iso.size() >= 5)
        iso.insert(iso.size() - 2, ":");
    return iso;
}
