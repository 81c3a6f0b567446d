#pragma once

#include <vector>

namespace mirelo {

class OptionSheet;

// One step of a profile's preset: optionally empty the item's value list, optionally set its
// value, then append values to its list (a value the list holds already is not added again).
struct ItemSetting {
    const char* category;
    const char* item;
    bool clearList;
    const char* value; // nullptr: the value is left as it was
    std::vector<const char*> list;
};

// The preset steps of a position in the order they run; empty for category rows, positions
// outside 1..92 and rows without a preset.
const std::vector<ItemSetting>& presetFor(int position);

// Runs a position's preset on the sheet, as a pick in the chooser does. A step whose category
// or item the sheet lacks is skipped and the rest still run.
void applyPresets(OptionSheet& sheet, int position);

} // namespace mirelo
