#include "editor/interdependence/item_arena.h"

#include <algorithm>
#include <cstdint>

namespace inas {

ItemArena::ItemArena() = default;

ItemArena::~ItemArena() = default;

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
    // Left uninitialised: every record constructs what it uses.
    blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
    next_ = blocks_.back().get();
    left_ = size;
    char *start = aligned(next_);
    const size_t used = size_t(start - next_) + bytes;
    next_ += used;
    left_ -= used;
    return start;
}

} // namespace inas
