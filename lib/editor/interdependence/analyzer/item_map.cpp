#include "editor/interdependence/analyzer/item_map.h"

#include <utility>

namespace inas {
namespace analyzer {

namespace {

// How many entries ahead assign() fetches a slot.
const size_t PREFETCH_DISTANCE = 8;

} // namespace

void ItemMap::reserve(int size)
{
    entries_.reserve(size_t(size > 0 ? size : 0));
    if (size_t(size) * 2 > capacity_)
        rehash(size_t(size) * 2);
}

bool ItemMap::insert(const Velmora::UGUID &key, ItemPtr item)
{
    if ((entries_.size() + 1) * 2 > capacity_)
        rehash((entries_.size() + 1) * 2);
    entries_.push_back({key, item.get()});
    if (!claimSlot(entries_.size() - 1)) {
        entries_.pop_back();
        return false;
    }
    owned_.push_back(std::move(item));
    return true;
}

bool ItemMap::assign(const Velmora::UGUID *keys, Item *items, size_t count, std::shared_ptr<const void> owner)
{
    if (!entries_.empty())
        return false;
    if (count * 2 > capacity_)
        rehash(count * 2);
    entries_.resize(count);
    for (size_t i = 0; i < count; ++i)
        entries_[i] = {keys[i], items + i};
    // The slots are far apart in a large table: each is fetched a few
    // entries ahead of its turn.
    for (size_t i = 0; i < count; ++i) {
        if (i + PREFETCH_DISTANCE < count)
            __builtin_prefetch(&slots_[firstSlot(qHash(keys[i + PREFETCH_DISTANCE]))]);
        if (!claimSlot(i)) {
            entries_.clear();
            slots_.assign(capacity_, 0);
            return false;
        }
    }
    owners_.push_back(std::move(owner));
    return true;
}

ItemMap::const_iterator ItemMap::find(const Velmora::UGUID &key) const
{
    if (capacity_ == 0)
        return entries_.end();
    const uint32_t hash = qHash(key);
    for (size_t slot = firstSlot(hash);; slot = (slot + 1) & (capacity_ - 1)) {
        const uint64_t value = slots_[slot];
        if (value == 0)
            return entries_.end();
        const size_t position = size_t(uint32_t(value)) - 1;
        if (uint32_t(value >> 32) == hash && sameKey(entries_[position].key, key))
            return entries_.begin() + std::ptrdiff_t(position);
    }
}

void ItemMap::rehash(size_t minimum)
{
    size_t capacity = 16;
    while (capacity < minimum)
        capacity *= 2;
    slots_.assign(capacity, 0);
    capacity_ = capacity;
    for (size_t i = 0; i < entries_.size(); ++i)
        claimSlot(i);
}

bool ItemMap::claimSlot(size_t position)
{
    const Velmora::UGUID &key = entries_[position].key;
    const uint32_t hash = qHash(key);
    size_t slot = firstSlot(hash);
    for (;; slot = (slot + 1) & (capacity_ - 1)) {
        const uint64_t value = slots_[slot];
        if (value == 0)
            break;
        if (uint32_t(value >> 32) == hash && sameKey(entries_[size_t(uint32_t(value)) - 1].key, key))
            return false;
    }
    slots_[slot] = slotValue(hash, position);
    return true;
}

} // namespace analyzer
} // namespace inas
