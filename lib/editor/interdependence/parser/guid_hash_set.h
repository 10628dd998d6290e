#pragma once

#include <velmora/UGUID.h>

#include <cstdint>
#include <vector>

namespace inas {
namespace parser {

// A set of GUIDs in one open-addressing table: no allocation per value, so
// that a set of every id of a large project is cheap to fill and to drop.
class GuidHashSet
{
public:
    // True when the GUID was not there yet.
    bool insert(const Velmora::UGUID &guid)
    {
        if ((size_ + 1) * 2 > slots_.size())
            rehash((size_ + 1) * 2);
        size_t slot = firstSlot(guid);
        for (; used_[slot]; slot = (slot + 1) & (slots_.size() - 1)) {
            if (same(slots_[slot], guid))
                return false;
        }
        slots_[slot] = guid;
        used_[slot] = true;
        ++size_;
        return true;
    }
    bool contains(const Velmora::UGUID &guid) const
    {
        if (slots_.empty())
            return false;
        for (size_t slot = firstSlot(guid); used_[slot]; slot = (slot + 1) & (slots_.size() - 1)) {
            if (same(slots_[slot], guid))
                return true;
        }
        return false;
    }
    // Takes the GUID out, if there; the values after it in its run move
    // back, so that every value stays reachable from its first slot.
    void erase(const Velmora::UGUID &guid)
    {
        if (slots_.empty())
            return;
        const size_t mask = slots_.size() - 1;
        size_t hole = firstSlot(guid);
        while (used_[hole] && !same(slots_[hole], guid))
            hole = (hole + 1) & mask;
        if (!used_[hole])
            return;
        for (size_t next = (hole + 1) & mask; used_[next]; next = (next + 1) & mask) {
            // A value may fill the hole when the hole lies between its first
            // slot and where it is now.
            if (((next - firstSlot(slots_[next])) & mask) >= ((next - hole) & mask)) {
                slots_[hole] = slots_[next];
                hole = next;
            }
        }
        used_[hole] = false;
        --size_;
    }
    void reserve(size_t size)
    {
        if (size * 2 > slots_.size())
            rehash(size * 2);
    }
    void clear()
    {
        slots_.clear();
        used_.clear();
        size_ = 0;
    }
    size_t size() const { return size_; }

private:
    // Inline: the table's probes compare many GUIDs.
    static bool same(const Velmora::UGUID &a, const Velmora::UGUID &b)
    {
        for (int w = 0; w < Velmora::UGUID::NUM_WORDS; ++w) {
            if (a.getWord(w) != b.getWord(w))
                return false;
        }
        return true;
    }
    size_t firstSlot(const Velmora::UGUID &guid) const
    {
        return size_t((uint64_t(qHash(guid)) * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
    }
    void rehash(size_t minimum)
    {
        size_t capacity = 16;
        while (capacity < minimum)
            capacity *= 2;
        std::vector<Velmora::UGUID> old_slots(capacity);
        std::vector<bool> old_used(capacity, false);
        old_slots.swap(slots_);
        old_used.swap(used_);
        for (size_t i = 0; i < old_slots.size(); ++i) {
            if (!old_used[i])
                continue;
            size_t slot = firstSlot(old_slots[i]);
            while (used_[slot])
                slot = (slot + 1) & (capacity - 1);
            slots_[slot] = old_slots[i];
            used_[slot] = true;
        }
    }

    std::vector<Velmora::UGUID> slots_;
    std::vector<bool> used_;
    size_t size_ = 0;
};

} // namespace parser
} // namespace inas
