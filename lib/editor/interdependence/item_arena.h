#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace inas {

// Memory for the many small records of one analysis (its items and the
// values of their reference sets): an allocation moves a pointer on, freeing
// a record does nothing, and the memory goes back in a few large blocks once
// the arena itself goes (see ArenaAllocator: every record keeps a shared
// arena alive). Allocation from one thread at a time; each further thread that
// fills records gets an arena of its own from side(), which goes with this
// one.
class ItemArena
{
public:
    ItemArena();
    ~ItemArena();
    ItemArena(const ItemArena &) = delete;
    ItemArena &operator=(const ItemArena &) = delete;

    // An arena that goes once its shared owners and every record held on
    // it (hold, release) are gone.
    static std::shared_ptr<ItemArena> makeShared();
    // One more record keeps a shared arena alive. Thread-safe.
    void hold() { holders_.fetch_add(1, std::memory_order_relaxed); }
    // A record of a shared arena is gone; the last one deletes the arena.
    // Thread-safe.
    static void release(ItemArena *arena);

    void *allocate(size_t bytes, size_t alignment);
    // Grows the latest allocation, block (of old_bytes), in place to
    // new_bytes; false (and no change) when it is not the latest or the
    // block has no room for it.
    bool extend(void *block, size_t old_bytes, size_t new_bytes);

    // A new arena for one more thread, freed with this one. Thread-safe.
    ItemArena *side();

    // The arena that the calling thread's reference sets take their memory
    // from, or null (they take it from the heap).
    static ItemArena *current();

    // Makes an arena the calling thread's current one for its lifetime.
    class Scope
    {
    public:
        explicit Scope(ItemArena *arena);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ItemArena *previous_;
    };

private:
    static constexpr size_t BLOCK_SIZE = 1 << 18;

    struct Block
    {
        char *start;
        size_t size;
    };

    char *newBlock(size_t size);

    std::vector<Block> blocks_;
    char *block_start_ = nullptr;
    char *next_ = nullptr;
    size_t left_ = 0;

    // For a shared arena: its records, plus one for its shared owners.
    std::atomic<size_t> holders_{1};

    std::mutex sides_mutex_;
    std::vector<std::unique_ptr<ItemArena>> sides_;
};

} // namespace inas
