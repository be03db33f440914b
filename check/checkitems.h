// The checklist of a check as a person reads it, taken from a report: one item per button, the
// joystick and the tracking, each with whether it passed and what it has reached so far. The
// tester's Check window and ombrix-monitor lay these items out; neither words them itself.

#ifndef CHECKITEMS_H
#define CHECKITEMS_H

#include "checkreport.h"

#include <string>
#include <vector>

struct CheckItem {
    std::string name; // "Button 1", "Joystick", "Tracking", or "Device data" before any record
    bool ok = false;
    std::string text; // e.g. "2 presses, 1 bounce, down"

    bool operator==(const CheckItem& other) const {
        return name == other.name && ok == other.ok && text == other.text;
    }
};

// Until a record of the device arrived its buttons and joystick are unknown: the list is then
// "Device data" and the tracking.
std::vector<CheckItem> checkItems(const CheckReport& report);

// "a, b, c"
std::string joinedNames(const std::vector<std::string>& names);

#endif // CHECKITEMS_H
