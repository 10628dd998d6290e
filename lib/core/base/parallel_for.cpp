#include "core/base/parallel_for.h"

#include "core/base/worker_count.h"

namespace base {

int ParallelFor::chunks(size_t count, size_t min_chunk, int max_chunks)
{
    if (max_chunks <= 0)
        max_chunks = WorkerCount::ofMachine();
    const size_t by_size = count / std::max<size_t>(1, min_chunk);
    return int(std::max<size_t>(1, std::min<size_t>(size_t(max_chunks), by_size)));
}

} // namespace base
