#pragma once

#include "core/base/parallel_for.h"

namespace inas {

// The parser's name for the shared parallel-for, until its files use
// base::ParallelFor directly.
using ChunkedWork = base::ParallelFor;

} // namespace inas
