#include "panelbuttons.h"

#include <algorithm>

std::vector<PanelButton> panelButtons(int buttonCount) {
    const int labelled = buttonCount >= 7 ? 4 : std::clamp(buttonCount, 0, 5);
    std::vector<PanelButton> buttons;
    for (int entry = 0; entry < labelled; ++entry)
        buttons.push_back({"Button " + std::to_string(entry + 1), entry});
    if (buttonCount == 6)
        buttons.push_back({"Joystick press", 5});
    return buttons;
}
