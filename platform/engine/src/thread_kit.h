// The engine's few ways of running work on several threads. Internal to
// the engine: the editor-core library and lib/ have kits of their own.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace Velmora {
namespace engine_internal {

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
    // Moving hands the threads over: the group moved from is empty.
    ThreadGroup(ThreadGroup &&other) noexcept
        : threads_(std::move(other.threads_))
    {
        other.threads_.clear();
    }
    // Joins this group's threads first.
    ThreadGroup &operator=(ThreadGroup &&other)
    {
        if (this != &other) {
            join();
            threads_ = std::move(other.threads_);
            other.threads_.clear();
        }
        return *this;
    }
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

// Threads kept for many short tasks (the renderer's row bands), started as
// the tasks ask for them, up to `most`. Once the system refuses one, no more
// are asked for; nothing waits for a thread that never started: whoever hands
// tasks out does its own share and takes over what no thread has taken.
// Tasks still queued when the pool ends are dropped.
class WorkerPool
{
public:
    explicit WorkerPool(size_t most)
        : most_(std::max<size_t>(1, most))
    {}
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;
    ~WorkerPool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        threads_.join();
    }

    size_t most() const { return most_; }

    // Hands task to up to count threads of the pool (each runs it once),
    // starting threads as needed; returns to how many.
    size_t run(size_t count, const std::function<void()> &task)
    {
        size_t handed = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const size_t wanted = std::min(count, most_);
            while (!refused_ && threads_.size() < wanted) {
                if (!threads_.start([this] { work(); }))
                    refused_ = true;
            }
            handed = std::min(count, threads_.size());
            for (size_t i = 0; i < handed; ++i)
                tasks_.push_back(task);
        }
        if (handed == 1)
            wake_.notify_one();
        else if (handed > 1)
            wake_.notify_all();
        return handed;
    }

private:
    void work()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_)
                return;
            const std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    const size_t most_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    bool refused_ = false;
    ThreadGroup threads_;
};

// Runs work(false) on up to `extra` new threads and work(true) on this one,
// and returns when every run has ended. Threads that cannot be started are
// left out; the runs share their work among themselves (a counter of
// ranges, a queue), so fewer runs still do all of it.
template<typename Work>
void runOnThreads(size_t extra, Work work)
{
    ThreadGroup group;
    for (size_t t = 0; t < extra; ++t)
        if (!group.start([&work] { work(false); }))
            break;
    work(true);
    group.join();
}

} // namespace engine_internal
} // namespace Velmora
