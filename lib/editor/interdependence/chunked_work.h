#pragma once

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace inas {

// Runs work(chunk, begin, end) over [0, count) cut into consecutive chunks,
// chunk 0 on the calling thread and each other on a thread of its own, and
// returns when all are done. A chunk holds at least min_chunk positions, so
// that a small count stays on the calling thread; at most max_chunks chunks
// (the machine's cores, at most eight, when 0). The chunks come in list
// order, so that results kept per chunk and joined in chunk order come out
// as one pass over the list would make them. work must not throw.
class ChunkedWork
{
public:
    // How many chunks run() makes of count positions.
    static int chunks(size_t count, size_t min_chunk, int max_chunks = 0)
    {
        if (max_chunks <= 0) {
            const unsigned cores = std::thread::hardware_concurrency();
            max_chunks = int(std::max(1u, std::min(8u, cores == 0 ? 2u : cores)));
        }
        const size_t by_size = count / std::max<size_t>(1, min_chunk);
        return int(std::max<size_t>(1, std::min<size_t>(size_t(max_chunks), by_size)));
    }

    template<typename Work>
    static void run(size_t count, int num_chunks, const Work &work)
    {
        num_chunks = std::max(1, num_chunks);
        auto range = [&](int chunk) { return count * size_t(chunk) / size_t(num_chunks); };
        std::vector<std::thread> threads;
        threads.reserve(size_t(num_chunks - 1));
        int started = 1;
        try {
            for (; started < num_chunks; ++started)
                threads.emplace_back([&work, chunk = started, begin = range(started), end = range(started + 1)] {
                    work(chunk, begin, end);
                });
        } catch (const std::system_error &) {
            // No thread to be had (a process at its limit): the chunks not
            // started run here, after the first.
        }
        work(0, size_t(0), range(1));
        for (int chunk = started; chunk < num_chunks; ++chunk)
            work(chunk, range(chunk), range(chunk + 1));
        for (std::thread &thread : threads)
            thread.join();
    }
};

} // namespace inas
