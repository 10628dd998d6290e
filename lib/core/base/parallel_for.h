#pragma once

#include "core/base/thread_group.h"

#include <algorithm>
#include <cstddef>

namespace base {

// Runs work(chunk, begin, end) over the positions [0, count) cut into
// consecutive chunks, chunk 0 on the calling thread and each other on a
// thread of its own, and returns when all are done. Chunks whose thread
// cannot be started (a process at its thread limit) run on the calling
// thread after chunk 0, so the work is always done in full. The chunks come
// in list order, so that results kept per chunk and joined in chunk order
// come out as one pass over the list would make them. work must not throw.
class ParallelFor
{
public:
    // How many chunks to make of count positions: as many as there are
    // workers (max_chunks, or WorkerCount::ofMachine() when 0 or less), but
    // no chunk shorter than min_chunk, so that a small count stays on the
    // calling thread; always at least one.
    static int chunks(size_t count, size_t min_chunk, int max_chunks = 0);

    template<typename Work>
    static void run(size_t count, int num_chunks, const Work &work)
    {
        num_chunks = std::max(1, num_chunks);
        auto range = [&](int chunk) { return count * size_t(chunk) / size_t(num_chunks); };
        ThreadGroup threads;
        int started = 1;
        for (; started < num_chunks; ++started) {
            if (!threads.start([&work, chunk = started, begin = range(started), end = range(started + 1)] {
                    work(chunk, begin, end);
                }))
                break;
        }
        work(0, size_t(0), range(1));
        // The chunks whose thread was refused.
        for (int chunk = started; chunk < num_chunks; ++chunk)
            work(chunk, range(chunk), range(chunk + 1));
        threads.join();
    }
};

} // namespace base
