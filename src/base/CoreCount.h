#pragma once

namespace mirelo {

// The machine's cores, at least 1.
int coreCount();

} // namespace mirelo
