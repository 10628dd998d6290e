#include "velmora/HeapTuning.h"

#ifdef VELMORA_TUNE_GLIBC_HEAP
#include <malloc.h>
#endif

#include <sys/resource.h>

namespace Velmora {

void HeapTuning::boundArenaTops()
{
#ifdef VELMORA_TUNE_GLIBC_HEAP
    constexpr int ARENA_TOP_KEPT = 1 << 18;
    ::mallopt(M_TRIM_THRESHOLD, ARENA_TOP_KEPT);
#endif
}

void HeapTuning::fitAddressSpace()
{
#ifdef VELMORA_TUNE_GLIBC_HEAP
    constexpr int ARENAS_IN_A_LIMITED_SPACE = 2;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        ::mallopt(M_ARENA_MAX, ARENAS_IN_A_LIMITED_SPACE);
#endif
}

} // namespace Velmora
