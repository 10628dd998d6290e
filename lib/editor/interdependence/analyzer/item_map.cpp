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
    index_.reserve(size_t(size > 0 ? size : 0));
}

bool ItemMap::insert(const Velmora::UGUID &key, ItemPtr item)
{
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
    index_.reserve(count);
    entries_.resize(count);
    for (size_t i = 0; i < count; ++i)
        entries_[i] = {keys[i], items + i};
    // The slots are far apart in a large table: each is fetched a few
    // entries ahead of its turn.
    for (size_t i = 0; i < count; ++i) {
        if (i + PREFETCH_DISTANCE < count)
            index_.prefetch(qHash(keys[i + PREFETCH_DISTANCE]));
        if (!claimSlot(i)) {
            entries_.clear();
            index_.clear();
            return false;
        }
    }
    owners_.push_back(std::move(owner));
    return true;
}

ItemMap::const_iterator ItemMap::find(const Velmora::UGUID &key) const
{
    const size_t position = index_.find(qHash(key), [&](size_t p) { return sameKey(entries_[p].key, key); });
    return position == base::FlatIndex::NOT_FOUND ? entries_.end() : entries_.begin() + std::ptrdiff_t(position);
}

bool ItemMap::claimSlot(size_t position)
{
    const Velmora::UGUID &key = entries_[position].key;
    return index_.insert(qHash(key), position, [&](size_t p) { return sameKey(entries_[p].key, key); });
}

} // namespace analyzer
} // namespace inas
