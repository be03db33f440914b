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

const char* verdictText(CheckVerdict verdict) {
    switch (verdict) {
    case CheckVerdict::pass:
        return "pass";
    case CheckVerdict::fail:
        return "fail";
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
    // Four decimals keep a share just below the 0.95 threshold from printing as 0.95.
    const Json tracking = {{"ok", t.ok},
                           {"frames", t.frames},
                           {"tracked_share", rounded(t.trackedShare, 4)},
                           {"lost_frames", t.lostFrames},
                           {"counter_restarts", t.counterRestarts},
                           {"rate_hz", rounded(t.rateHz, 1)}};

    const Json out = {{"device", report.device},   {"verdict", verdictText(report.verdict)},
                      {"started", report.started}, {"duration_s", rounded(report.durationS, 1)},
                      {"port", report.port},       {"buttons", buttons},
                      {"joystick", joystick},      {"tracking", tracking},
                      {"open", report.openItems}};
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
