#include "core/base/worker_count.h"

#include <algorithm>
#include <thread>

namespace base {

int WorkerCount::ofMachine()
{
    const unsigned threads = std::thread::hardware_concurrency();
    if (threads == 0)
        return WHEN_UNKNOWN;
    return int(std::min(threads, unsigned(MAX)));
}

} // namespace base
