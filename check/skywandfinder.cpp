#include "skywandfinder.h"

#include "panelbuttons.h"

std::optional<int> SkywandFinder::addFrame(const std::vector<ombrix_skywand_type>& records,
                                           int carried) {
    if (foundIndex)
        return foundIndex;
    if (armed.size() < records.size())
        armed.resize(records.size());
    for (size_t device = 0; device < armed.size(); ++device) {
        std::vector<bool>& deviceArmed = armed[device];
        if (device >= records.size() || int(device) >= carried || records[device].quality < 0.0f) {
            deviceArmed.assign(deviceArmed.size(), false); // not seen: its buttons are unknown
            continue;
        }
        const ombrix_skywand_type& record = records[device];
        for (const PanelButton& b : panelButtons(record.num_button)) {
            const size_t entry = static_cast<size_t>(b.entry);
            if (deviceArmed.size() <= entry)
                deviceArmed.resize(entry + 1, false);
            const bool down = record.button[b.entry] == 1;
            if (down && deviceArmed[entry] && !foundIndex)
                foundIndex = static_cast<int>(device);
            deviceArmed[entry] = !down;
        }
    }
    return foundIndex;
}
