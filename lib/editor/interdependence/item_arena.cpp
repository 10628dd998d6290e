#include "editor/interdependence/item_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace inas {

namespace {

thread_local ItemArena *current_arena = nullptr;

} // namespace

ItemArena::ItemArena() = default;

ItemArena::~ItemArena()
{
    for (const Block &block : blocks_)
        ::munmap(block.start, block.size);
}

std::shared_ptr<ItemArena> ItemArena::makeShared()
{
    return std::shared_ptr<ItemArena>(new ItemArena, &ItemArena::release);
}

void ItemArena::release(ItemArena *arena)
{
    if (arena->holders_.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete arena;
}

void *ItemArena::allocate(size_t bytes, size_t alignment)
{
    const auto aligned = [&](char *pointer) {
        const auto address = reinterpret_cast<std::uintptr_t>(pointer);
        return reinterpret_cast<char *>((address + alignment - 1) & ~std::uintptr_t(alignment - 1));
    };
    if (next_) {
        char *start = aligned(next_);
        const size_t used = size_t(start - next_) + bytes;
        if (used <= left_) {
            next_ += used;
            left_ -= used;
            return start;
        }
    }
    // A new block; one larger than the usual size for a larger record.
    const size_t size = std::max(BLOCK_SIZE, bytes + alignment);
    block_start_ = newBlock(size);
    next_ = block_start_;
    left_ = size;
    char *start = aligned(next_);
    const size_t used = size_t(start - next_) + bytes;
    next_ += used;
    left_ -= used;
    return start;
}

bool ItemArena::extend(void *block, size_t old_bytes, size_t new_bytes)
{
    char *const start = static_cast<char *>(block);
    if (start < block_start_ || start + old_bytes != next_ || new_bytes - old_bytes > left_)
        return false;
    next_ += new_bytes - old_bytes;
    left_ -= new_bytes - old_bytes;
    return true;
}

ItemArena *ItemArena::side()
{
    std::lock_guard<std::mutex> lock(sides_mutex_);
    sides_.push_back(std::make_unique<ItemArena>());
    return sides_.back().get();
}

ItemArena *ItemArena::current()
{
    return current_arena;
}

ItemArena::Scope::Scope(ItemArena *arena)
    : previous_(current_arena)
{
    current_arena = arena;
}

ItemArena::Scope::~Scope()
{
    current_arena = previous_;
}

char *ItemArena::newBlock(size_t size)
{
    // Mapped on its own, so that it goes straight back to the system when
    // the arena goes (the heap would keep it for the thread that freed it),
    // and with its pages faulted in at once rather than one fault per page
    // as records are made. Left uninitialised: every record constructs what
    // it uses.
    blocks_.reserve(blocks_.size() + 1);
    void *const start
            = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (start == MAP_FAILED)
        throw std::bad_alloc();
    blocks_.push_back(Block{static_cast<char *>(start), size});
    return static_cast<char *>(start);
}

} // namespace inas
