#include "core/base/heap_tuning.h"

#ifdef VELMORA_TUNE_GLIBC_HEAP
#include <malloc.h>
#endif

namespace base {

void HeapTuning::boundArenaTops()
{
#ifdef VELMORA_TUNE_GLIBC_HEAP
    constexpr int ARENA_TOP_KEPT = 1 << 18;
    ::mallopt(M_TRIM_THRESHOLD, ARENA_TOP_KEPT);
#endif
}

} // namespace base
