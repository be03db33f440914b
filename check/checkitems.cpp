#include "checkitems.h"

#include <fmt/format.h>

namespace {

std::string counted(long count, const char* one, const char* many) {
    return fmt::format("{} {}", count, count == 1 ? one : many);
}

std::string buttonText(const ButtonResult& button) {
    std::string text = counted(button.presses, "press", "presses");
    if (button.bounces > 0)
        text += ", " + counted(button.bounces, "bounce", "bounces");
    return text + (button.down ? ", down" : "");
}

std::string joystickText(const JoystickResult& stick) {
    if (!stick.present)
        return "no joystick values: skipped";
    std::string text = fmt::format("{} of 8 directions, farthest {:.2f}", stick.directionsReached,
                                   stick.maxDeflection);
    if (stick.restX && stick.restY)
        text += fmt::format(", rest {:.3f} {:.3f}", *stick.restX, *stick.restY);
    return text;
}

std::string trackingText(const TrackingResult& t) {
    return fmt::format("{}, {:.1f} % tracked, {} lost, {} unparsable, {:.1f} Hz",
                       counted(t.frames, "frame", "frames"), t.trackedShare(3) * 100.0,
                       t.lostFrames, t.unparsable, t.rateHz);
}

} // namespace

std::vector<CheckItem> checkItems(const CheckReport& report) {
    std::vector<CheckItem> items;
    if (!report.deviceSeen) {
        items.push_back({deviceDataItem, false, "no record of " + report.device + " yet"});
    } else {
        for (const ButtonResult& button : report.buttons)
            items.push_back({button.name, button.ok, buttonText(button)});
        items.push_back({"Joystick", report.joystick.ok, joystickText(report.joystick)});
    }
    items.push_back({"Tracking", report.tracking.ok, trackingText(report.tracking)});
    return items;
}

std::string joinedNames(const std::vector<std::string>& names) {
    return fmt::format("{}", fmt::join(names, ", "));
}
