#include "editor/interdependence/parallel_range.h"

#include <velmora/LogHold.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace inas {

int ParallelRange::maxThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::max(1u, std::min(8u, cores == 0 ? 2u : cores)));
}

void ParallelRange::run(int count, int min_chunk, const Work &work)
{
    if (count <= 0)
        return;
    const int threads = std::max(1, std::min(maxThreads(), count / std::max(1, min_chunk)));
    if (threads == 1) {
        work(0, count);
        return;
    }
    // A few chunks per thread, taken in order, so that a slow chunk does not
    // hold the others up.
    const int num_chunks = std::min(count, threads * 4);
    std::vector<Velmora::LogHold::Lines> logs(static_cast<size_t>(num_chunks));
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int chunk = next++; chunk < num_chunks; chunk = next++) {
            const int begin = int(static_cast<long long>(count) * chunk / num_chunks);
            const int end = int(static_cast<long long>(count) * (chunk + 1) / num_chunks);
            Velmora::LogHold hold(&logs[size_t(chunk)]);
            work(begin, end);
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread &thread : pool)
        thread.join();
    for (Velmora::LogHold::Lines &lines : logs)
        Velmora::LogHold::release(lines);
}

} // namespace inas
