#pragma once

#include "core/base/flat_index.h"
#include "editor/interdependence/analyzer/analyzer_item.h"

#include <velmora/UGUID.h>

#include <memory>
#include <vector>

namespace inas {
namespace analyzer {

// Item id -> analyzer item, iterating in insertion order (the parser's item
// order), so that everything built by walking it comes out the same on every
// run. Lookups go through a flat index of entry positions: one allocation
// however many items a project has. The map keeps its items alive: those
// inserted one by one through their pointers, those of a whole block
// (assign) through the block's owner.
class ItemMap
{
public:
    struct Entry
    {
        Velmora::UGUID key;
        Item *data = nullptr;
    };
    using const_iterator = std::vector<Entry>::const_iterator;

    void reserve(int size);
    // False (and no change) when the key is there already.
    bool insert(const Velmora::UGUID &key, ItemPtr item);

    // Makes an empty map hold count items at once, items[i] under keys[i] in
    // that order; owner keeps the items alive. False, and the map stays
    // empty, when a key comes twice: then the caller inserts them one by
    // one, which says which to keep.
    bool assign(const Velmora::UGUID *keys, Item *items, size_t count, std::shared_ptr<const void> owner);

    bool contains(const Velmora::UGUID &key) const { return find(key) != entries_.end(); }
    const_iterator find(const Velmora::UGUID &key) const;
    // The item of a key, null when none.
    Item *value(const Velmora::UGUID &key) const
    {
        const auto it = find(key);
        return it == entries_.end() ? nullptr : it->data;
    }

    // Asks the processor to fetch the slot where a lookup of key begins.
    void prefetch(const Velmora::UGUID &key) const { index_.prefetch(qHash(key)); }

    int size() const { return int(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    static bool sameKey(const Velmora::UGUID &a, const Velmora::UGUID &b)
    {
        for (int i = 0; i < Velmora::UGUID::NUM_WORDS; ++i) {
            if (a.getWord(i) != b.getWord(i))
                return false;
        }
        return true;
    }
    // Indexes the entry at position, unless its key is there already (then
    // false).
    bool claimSlot(size_t position);

    std::vector<Entry> entries_;
    base::FlatIndex index_;
    std::vector<ItemPtr> owned_;
    std::vector<std::shared_ptr<const void>> owners_;
};

} // namespace analyzer
} // namespace inas
