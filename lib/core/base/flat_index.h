#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace base {

// Finds positions in a list that the caller keeps by the key at each
// position. An open-addressing table over a power-of-two number of slots,
// kept at most half full; a slot packs the key's 32-bit hash with the
// position plus one (0: a free slot), so that a probe reads a key, through
// the caller's is_key(position), only where the hashes agree. The index holds
// no key of its own: one allocation however long the list. Positions are
// added, never taken out one by one; they must stay below 2^32 - 1.
class FlatIndex
{
public:
    static constexpr size_t NOT_FOUND = ~size_t(0);

    // Makes room for count positions, so that adding up to that many does
    // not grow the table again.
    void reserve(size_t count);
    // Forgets every position and keeps the room.
    void clear();

    size_t size() const { return size_; }

    // The position whose key is_key(position) accepts among those added
    // under hash, or NOT_FOUND.
    template<typename IsKey>
    size_t find(uint32_t hash, const IsKey &is_key) const
    {
        if (capacity_ == 0)
            return NOT_FOUND;
        for (size_t slot = firstSlot(hash);; slot = (slot + 1) & (capacity_ - 1)) {
            const uint64_t value = slots_[slot];
            if (value == 0)
                return NOT_FOUND;
            const size_t position = size_t(uint32_t(value)) - 1;
            if (uint32_t(value >> 32) == hash && is_key(position))
                return position;
        }
    }

    // Adds position under hash, its key being the one is_key accepts; false
    // (and no change) when a position with that key is there already.
    template<typename IsKey>
    bool insert(uint32_t hash, size_t position, const IsKey &is_key)
    {
        if ((size_ + 1) * 2 > capacity_)
            grow((size_ + 1) * 2);
        size_t slot = firstSlot(hash);
        for (;; slot = (slot + 1) & (capacity_ - 1)) {
            const uint64_t value = slots_[slot];
            if (value == 0)
                break;
            if (uint32_t(value >> 32) == hash && is_key(size_t(uint32_t(value)) - 1))
                return false;
        }
        slots_[slot] = uint64_t(hash) << 32 | (position + 1);
        ++size_;
        return true;
    }

    // Asks the processor to fetch the slot where a lookup of hash begins,
    // for a caller that knows its next lookups a few turns ahead.
    void prefetch(uint32_t hash) const
    {
        if (capacity_ != 0)
            __builtin_prefetch(&slots_[firstSlot(hash)]);
    }

private:
    size_t firstSlot(uint32_t hash) const
    {
        // Fibonacci hashing spreads hashes that differ in few bits.
        return size_t((uint64_t(hash) * 0x9E3779B97F4A7C15ull) >> 20) & (capacity_ - 1);
    }
    // Makes the table at least minimum slots large, the positions kept.
    void grow(size_t minimum);

    std::vector<uint64_t> slots_;
    // The size of slots_: a power of two, or 0 before the first position.
    size_t capacity_ = 0;
    size_t size_ = 0;
};

} // namespace base
