#pragma once

#include "editor/interdependence/item_arena.h"

#include <cstddef>

namespace inas {

// A standard allocator over a shared ItemArena (ItemArena::makeShared), for
// std::allocate_shared: the record and its control block come from the
// arena, and each record holds the arena from its allocation to its
// deallocation. Copies of the allocator hold nothing, so that making and
// dropping a record touches the arena's count once each (the standard
// library copies the allocator several times per record).
template<typename T>
class ArenaAllocator
{
public:
    using value_type = T;

    explicit ArenaAllocator(ItemArena *arena)
        : arena_(arena)
    {}
    template<typename U>
    ArenaAllocator(const ArenaAllocator<U> &other)
        : arena_(other.arena())
    {}

    T *allocate(size_t count)
    {
        T *const record = static_cast<T *>(arena_->allocate(count * sizeof(T), alignof(T)));
        arena_->hold();
        return record;
    }
    // The record's memory stays in the arena; the arena may go with it.
    void deallocate(T *, size_t) { ItemArena::release(arena_); }

    ItemArena *arena() const { return arena_; }

    template<typename U>
    bool operator==(const ArenaAllocator<U> &other) const
    {
        return arena_ == other.arena();
    }
    template<typename U>
    bool operator!=(const ArenaAllocator<U> &other) const
    {
        return arena_ != other.arena();
    }

private:
    ItemArena *arena_;
};

} // namespace inas
