#pragma once

#include "editor/interdependence/analyzer/item.h"

#include <velmora/UGUID.h>

#include <cstdint>
#include <vector>

namespace inas {
namespace analyzer {

// Item id -> analyzer item, iterating in insertion order (the parser's item
// order), so that everything built by walking it comes out the same on every
// run. Lookups go through an open-addressing table of entry positions: one
// allocation however many items a project has.
class ItemMap
{
public:
    struct Entry
    {
        Velmora::UGUID key;
        ItemPtr data;
    };
    using const_iterator = std::vector<Entry>::const_iterator;

    void reserve(int size)
    {
        entries_.reserve(size_t(size > 0 ? size : 0));
        if (size_t(size) * 2 > slots_.size())
            rehash(size_t(size) * 2);
    }
    // False (and no change) when the key is there already.
    bool insert(const Velmora::UGUID &key, ItemPtr item)
    {
        if ((entries_.size() + 1) * 2 > slots_.size())
            rehash((entries_.size() + 1) * 2);
        size_t slot = firstSlot(key);
        while (slots_[slot] >= 0) {
            if (entries_[size_t(slots_[slot])].key == key)
                return false;
            slot = (slot + 1) & (slots_.size() - 1);
        }
        slots_[slot] = int(entries_.size());
        entries_.push_back({key, std::move(item)});
        return true;
    }
    bool contains(const Velmora::UGUID &key) const { return find(key) != entries_.end(); }
    const_iterator find(const Velmora::UGUID &key) const
    {
        if (slots_.empty())
            return entries_.end();
        for (size_t slot = firstSlot(key); slots_[slot] >= 0; slot = (slot + 1) & (slots_.size() - 1)) {
            if (entries_[size_t(slots_[slot])].key == key)
                return entries_.begin() + slots_[slot];
        }
        return entries_.end();
    }
    // The item of a key, null when none.
    Item *value(const Velmora::UGUID &key) const
    {
        const auto it = find(key);
        return it == entries_.end() ? nullptr : it->data.get();
    }

    int size() const { return int(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    size_t firstSlot(const Velmora::UGUID &key) const
    {
        // Fibonacci hashing spreads the GUID hash over the table.
        return size_t((uint64_t(qHash(key)) * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
    }
    void rehash(size_t minimum)
    {
        size_t capacity = 16;
        while (capacity < minimum)
            capacity *= 2;
        slots_.assign(capacity, -1);
        for (size_t i = 0; i < entries_.size(); ++i) {
            size_t slot = firstSlot(entries_[i].key);
            while (slots_[slot] >= 0)
                slot = (slot + 1) & (capacity - 1);
            slots_[slot] = int(i);
        }
    }

    std::vector<Entry> entries_;
    // Positions in entries_; -1 for a free slot. The size is a power of two.
    std::vector<int> slots_;
};

} // namespace analyzer
} // namespace inas
