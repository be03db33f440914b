// The buttons that the tester's device panel shows for a device, under the panel's names.

#ifndef PANELBUTTONS_H
#define PANELBUTTONS_H

#include <string>
#include <vector>

struct PanelButton {
    std::string name; // "Button 1" ... "Button 5", "Joystick press"
    int entry;        // index into the record's button entries
};

// Newer devices (at most 6 buttons) show "Button 1" up to their count, at most five, and a
// device with exactly 6 gets its sixth entry as "Joystick press". Devices reporting 7 or more
// (the older layout reports 8, four of them carrying the joystick directions) show
// "Button 1" to "Button 4". A count of 0 or less shows none.
std::vector<PanelButton> panelButtons(int buttonCount);

#endif // PANELBUTTONS_H
