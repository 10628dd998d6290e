#pragma once

#include "editor/interdependence/item_arena.h"

#include <cstddef>
#include <memory>
#include <utility>

namespace inas {

// A standard allocator over an ItemArena, for std::allocate_shared: the
// record and its control block come from the arena, and the allocator copy
// that the control block keeps holds the arena alive as long as the record.
template<typename T>
class ArenaAllocator
{
public:
    using value_type = T;

    explicit ArenaAllocator(std::shared_ptr<ItemArena> arena)
        : arena_(std::move(arena))
    {}
    template<typename U>
    ArenaAllocator(const ArenaAllocator<U> &other)
        : arena_(other.arena())
    {}

    T *allocate(size_t count) { return static_cast<T *>(arena_->allocate(count * sizeof(T), alignof(T))); }
    void deallocate(T *, size_t) {}

    const std::shared_ptr<ItemArena> &arena() const { return arena_; }

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
    std::shared_ptr<ItemArena> arena_;
};

} // namespace inas
