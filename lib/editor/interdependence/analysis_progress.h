#pragma once

#include <functional>

namespace inas {

// Progress of a long analysis step: (max, value), max > 0 shown as
// value * 100 / max. Returning false asks the step to stop (cancel).
using ProgressCallback = std::function<bool(int max, int value)>;

} // namespace inas
