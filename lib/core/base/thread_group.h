#pragma once

#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace base {

// Threads started one by one and joined together (at the latest when the
// group ends): the one way lib/ starts a thread of its own. A thread the
// system refuses (a process at its thread limit, or without the address
// space for another stack) is left out: start says so, and the caller does
// that share itself, on the threads that did start or on its own.
class ThreadGroup
{
public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup &) = delete;
    ThreadGroup &operator=(const ThreadGroup &) = delete;
    // Moving hands the threads over: the group moved from is empty.
    ThreadGroup(ThreadGroup &&other) noexcept;
    // Joins this group's threads first.
    ThreadGroup &operator=(ThreadGroup &&other);
    ~ThreadGroup() { join(); }

    // Runs work on a new thread of this group; false when the system gave
    // none. A work object passed as an rvalue is gone then (it went with
    // the thread that did not start); pass a copy to run it here instead.
    template<typename Work>
    bool start(Work &&work)
    {
        try {
            threads_.emplace_back(std::forward<Work>(work));
            return true;
        } catch (const std::system_error &) {
            // The system gives no thread.
        } catch (const std::bad_alloc &) {
            // Nor the memory to keep one.
        }
        noteRefused();
        return false;
    }

    // Runs work on a new thread of this group, or here (before returning)
    // when the system gives none. True when it got a thread.
    template<typename Work>
    bool startOrRun(Work work)
    {
        if (start(work))
            return true;
        work();
        return false;
    }

    size_t size() const { return threads_.size(); }
    bool empty() const { return threads_.empty(); }

    // Waits for every thread of the group; the group is empty afterwards.
    void join();

    // How many threads the system refused to any group since the process
    // started (for tests and the log).
    static int refusals();

private:
    static void noteRefused();

    std::vector<std::thread> threads_;
};

} // namespace base
