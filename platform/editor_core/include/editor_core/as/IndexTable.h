#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace as {

// A hash lookup of record positions whose keys live in the records
// themselves: each slot holds the key's 32-bit hash and the position
// (Value: an index, or a pair of indices), nothing else, so an entry costs
// a few bytes instead of a node. Callers pass the key's hash and a
// predicate telling whether a position holds the key; it is asked only of
// positions with the same hash. Open addressing with linear probing, at
// most three quarters full; removals move later slots back, so there are
// no tombstones.
template<typename Value>
class IndexTable
{
public:
    int size() const { return size_; }
    bool isEmpty() const { return size_ == 0; }

    void clear()
    {
        std::vector<Slot>().swap(slots_);
        size_ = 0;
    }
    // Room for n entries without growing.
    void reserve(int n)
    {
        if (size_t(n) * 4 > slots_.size() * 3)
            rehash(size_t(n) * 5 / 3 + 1);
    }
    void swap(IndexTable &other)
    {
        slots_.swap(other.slots_);
        std::swap(size_, other.size_);
    }

    // The value of the key, or null.
    template<typename Same>
    const Value *find(unsigned hash, Same same) const
    {
        const long slot = locate(hash, same);
        return slot < 0 ? nullptr : &slots_[size_t(slot)].value;
    }
    template<typename Same>
    bool contains(unsigned hash, Same same) const
    {
        return locate(hash, same) >= 0;
    }
    // Asks for the slot a search for the hash starts at, to be at hand for
    // a search soon after.
    void prefetch(unsigned hash) const
    {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[home(stored(hash))]);
    }
    // Sets the value of the key, replacing the one it has.
    template<typename Same>
    void insert(unsigned hash, Same same, const Value &value)
    {
        const long slot = locate(hash, same);
        if (slot >= 0) {
            slots_[size_t(slot)].value = value;
            return;
        }
        if (size_t(size_ + 1) * 4 > slots_.size() * 3)
            rehash(std::max<size_t>(16, slots_.size() * 2));
        place(stored(hash), value);
        ++size_;
    }
    // Sets the value of a key that is not there yet, in one walk over the
    // slots; false, changing nothing, when the key is there already.
    template<typename Same>
    bool insertNew(unsigned hash, Same same, const Value &value)
    {
        if (size_t(size_ + 1) * 4 > slots_.size() * 3)
            rehash(std::max<size_t>(16, slots_.size() * 2));
        const uint32_t wanted = stored(hash);
        for (size_t slot = home(wanted);; slot = next(slot)) {
            Slot &entry = slots_[slot];
            if (entry.hash == 0) {
                entry = Slot{wanted, value};
                ++size_;
                return true;
            }
            if (entry.hash == wanted && same(entry.value))
                return false;
        }
    }
    // Takes the key out when keep(value) is false; true when it went.
    template<typename Same, typename Keep>
    bool remove(unsigned hash, Same same, Keep keep)
    {
        const long slot = locate(hash, same);
        if (slot < 0 || keep(slots_[size_t(slot)].value))
            return false;
        removeSlot(size_t(slot));
        --size_;
        return true;
    }
    template<typename Same>
    bool remove(unsigned hash, Same same)
    {
        return remove(hash, same, [](const Value &) { return false; });
    }

private:
    struct Slot
    {
        uint32_t hash = 0; // 0: free
        Value value{};
    };

    // Stored hashes are never 0, which marks a free slot.
    static uint32_t stored(unsigned hash) { return hash == 0 ? 1u : uint32_t(hash); }
    size_t home(uint32_t hash) const
    {
        const uint64_t mixed = (uint64_t(hash) * 0x9E3779B97F4A7C15ull) >> 32;
        return size_t((mixed * slots_.size()) >> 32);
    }
    size_t next(size_t slot) const { return slot + 1 == slots_.size() ? 0 : slot + 1; }

    template<typename Same>
    long locate(unsigned hash, Same same) const
    {
        if (size_ == 0)
            return -1;
        const uint32_t wanted = stored(hash);
        for (size_t slot = home(wanted);; slot = next(slot)) {
            const Slot &entry = slots_[slot];
            if (entry.hash == 0)
                return -1;
            if (entry.hash == wanted && same(entry.value))
                return long(slot);
        }
    }
    // There is a free slot.
    void place(uint32_t hash, const Value &value)
    {
        size_t slot = home(hash);
        while (slots_[slot].hash != 0)
            slot = next(slot);
        slots_[slot] = Slot{hash, value};
    }
    // Frees a slot and moves later slots of its run back, so that every
    // entry stays reachable from its home slot.
    void removeSlot(size_t hole)
    {
        slots_[hole].hash = 0;
        for (size_t at = next(hole); slots_[at].hash != 0; at = next(at)) {
            const size_t wanted = home(slots_[at].hash);
            const bool stays = hole <= at ? (hole < wanted && wanted <= at) : (hole < wanted || wanted <= at);
            if (stays)
                continue;
            slots_[hole] = slots_[at];
            slots_[at].hash = 0;
            hole = at;
        }
    }
    void rehash(size_t capacity)
    {
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        for (const Slot &slot : old)
            if (slot.hash != 0)
                place(slot.hash, slot.value);
    }

    std::vector<Slot> slots_;
    int size_ = 0;
};

} // namespace as
