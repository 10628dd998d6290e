#include "core/base/flat_index.h"

#include <utility>

namespace base {

void FlatIndex::reserve(size_t count)
{
    if (count * 2 > capacity_)
        grow(count * 2);
}

void FlatIndex::clear()
{
    slots_.assign(capacity_, 0);
    size_ = 0;
}

void FlatIndex::grow(size_t minimum)
{
    size_t capacity = 16;
    while (capacity < minimum)
        capacity *= 2;
    std::vector<uint64_t> old(capacity, 0);
    old.swap(slots_);
    capacity_ = capacity;
    // The keys are all different: each goes to the first free slot of its
    // run, without a comparison.
    for (const uint64_t value : old) {
        if (value == 0)
            continue;
        size_t slot = firstSlot(uint32_t(value >> 32));
        while (slots_[slot] != 0)
            slot = (slot + 1) & (capacity_ - 1);
        slots_[slot] = value;
    }
}

} // namespace base
