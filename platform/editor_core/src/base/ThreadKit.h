// The editor core's few ways of running work on several threads. Internal
// to this library: the engine and lib/ have kits of their own.
#pragma once

#include <QThread>

#include <algorithm>
#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace Editor {
namespace core_internal {

// How many threads a parallel step uses: the machine's hardware threads
// (two when it does not say), at least one and at most `most`.
inline size_t workerCount(size_t most = 8)
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::max<size_t>(1, std::min<size_t>(most, cores == 0 ? 2 : cores));
}

// Threads started one by one and joined together (at the latest when the
// group ends). A thread that cannot be started is left out: start says so,
// and the caller does that share itself.
class ThreadGroup
{
public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup &) = delete;
    ThreadGroup &operator=(const ThreadGroup &) = delete;
    ~ThreadGroup() { join(); }

    template<typename Work>
    bool start(Work &&work)
    {
        try {
            threads_.emplace_back(std::forward<Work>(work));
            return true;
        } catch (const std::system_error &) {
            return false;
        } catch (const std::bad_alloc &) {
            return false;
        }
    }

    size_t size() const { return threads_.size(); }
    bool empty() const { return threads_.empty(); }

    void join()
    {
        for (std::thread &thread : threads_)
            thread.join();
        threads_.clear();
    }

private:
    std::vector<std::thread> threads_;
};

// Starts a QThread, for work that needs a Qt event loop of its own (a job
// that runs a QProcess, objects living on that thread); true when it runs
// (or has run). QThread::start tells of a thread the system refused only in
// a warning: such a thread is neither running nor finished, and nothing of
// it runs until start succeeds.
inline bool startQThread(QThread &thread)
{
    thread.start();
    return thread.isRunning() || thread.isFinished();
}

} // namespace core_internal
} // namespace Editor
