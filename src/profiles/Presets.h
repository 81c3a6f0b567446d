#pragma once

#include "profiles/Catalog.h"

#include <vector>

namespace mirelo {

class OptionSheet;

// The preset steps of a profile in the order they run; empty for category rows, positions
// outside the table and rows without a preset.
const std::vector<ItemSetting>& presetFor(ProfileId profile);

// Runs a profile's preset on the sheet, as a pick in the chooser does. A step whose category or
// item the sheet lacks is skipped and the rest still run.
void applyPresets(OptionSheet& sheet, ProfileId profile);

} // namespace mirelo
