#include "core/base/thread_group.h"

#include <atomic>
#include <utility>

namespace base {

namespace {
std::atomic<int> refused_threads{0};
} // namespace

ThreadGroup::ThreadGroup(ThreadGroup &&other) noexcept
    : threads_(std::move(other.threads_))
{
    other.threads_.clear();
}

ThreadGroup &ThreadGroup::operator=(ThreadGroup &&other)
{
    if (this != &other) {
        join();
        threads_ = std::move(other.threads_);
        other.threads_.clear();
    }
    return *this;
}

void ThreadGroup::join()
{
    for (std::thread &thread : threads_)
        thread.join();
    threads_.clear();
}

int ThreadGroup::refusals()
{
    return refused_threads.load();
}

void ThreadGroup::noteRefused()
{
    refused_threads.fetch_add(1);
}

} // namespace base
