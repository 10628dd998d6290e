#pragma once

#include <functional>

namespace assembly {

// Progress callback of the build pipeline: (max, value) with max > 0 and
// value in 0..max; false means the user cancelled and the caller stops as
// soon as it can and reports failure. Receivers show value * 100 / max.
using ProgressCallback = std::function<bool(int max, int value)>;

namespace post {
// Work queued by the stages to run after copying, on the worker thread.
using Operation = std::function<void()>;
} // namespace post

} // namespace assembly
