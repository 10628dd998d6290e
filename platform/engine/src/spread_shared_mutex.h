#pragma once

#include <atomic>
#include <shared_mutex>

namespace Velmora {
namespace engine_internal {

// A reader-writer lock for state that many threads read at once and that
// rarely changes (the file table, the material registry). A shared lock
// takes one of several locks, the one of the calling thread's slot, so that
// readers on different threads do not write to one cache line for every
// lookup; an exclusive lock takes them all, in order. Meets the standard's
// SharedMutex requirements (std::shared_lock, std::unique_lock). As with
// std::shared_mutex, a thread must not take it shared twice.
class SpreadSharedMutex
{
public:
    SpreadSharedMutex() = default;
    SpreadSharedMutex(const SpreadSharedMutex &) = delete;
    SpreadSharedMutex &operator=(const SpreadSharedMutex &) = delete;

    void lock()
    {
        for (Slot &slot : slots_)
            slot.mutex.lock();
    }
    bool try_lock()
    {
        for (int i = 0; i < SLOTS; ++i) {
            if (!slots_[i].mutex.try_lock()) {
                while (i-- > 0)
                    slots_[i].mutex.unlock();
                return false;
            }
        }
        return true;
    }
    void unlock()
    {
        for (int i = SLOTS; i-- > 0;)
            slots_[i].mutex.unlock();
    }

    void lock_shared() { slots_[slot()].mutex.lock_shared(); }
    bool try_lock_shared() { return slots_[slot()].mutex.try_lock_shared(); }
    void unlock_shared() { slots_[slot()].mutex.unlock_shared(); }

private:
    static constexpr int SLOTS = 16;

    struct alignas(64) Slot
    {
        std::shared_mutex mutex;
    };

    // Threads get their slots in turn, so that threads started together
    // (a pool) mostly have slots of their own.
    static int slot()
    {
        static std::atomic<unsigned> next{0};
        thread_local const int mine = int(next.fetch_add(1, std::memory_order_relaxed) % SLOTS);
        return mine;
    }

    Slot slots_[SLOTS];
};

} // namespace engine_internal
} // namespace Velmora
