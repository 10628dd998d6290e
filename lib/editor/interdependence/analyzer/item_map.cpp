#include "editor/interdependence/analyzer/item_map.h"

#include "editor/interdependence/chunked_work.h"

#include <utility>

namespace inas {
namespace analyzer {

namespace {

// Entries put into the table per thread at least.
const size_t ENTRIES_PER_THREAD = 16384;

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
    std::atomic<bool> repeated(false);
    ChunkedWork::run(count, ChunkedWork::chunks(count, ENTRIES_PER_THREAD), [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            entries_[i] = {keys[i], items + i};
    });
    // Each thread reads the entries only once all are written.
    ChunkedWork::run(count, ChunkedWork::chunks(count, ENTRIES_PER_THREAD), [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end && !repeated.load(std::memory_order_relaxed); ++i) {
            if (!claimSlot(i))
                repeated.store(true, std::memory_order_relaxed);
        }
    });
    if (repeated.load()) {
        entries_.clear();
        for (size_t slot = 0; slot < capacity_; ++slot)
            slots_[slot].store(0, std::memory_order_relaxed);
        return false;
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
        const uint64_t value = slots_[slot].load(std::memory_order_relaxed);
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
    // Value-initialised: every slot free.
    slots_.reset(new Slot[capacity]());
    capacity_ = capacity;
    for (size_t i = 0; i < entries_.size(); ++i)
        claimSlot(i);
}

bool ItemMap::claimSlot(size_t position)
{
    const Velmora::UGUID &key = entries_[position].key;
    const uint32_t hash = qHash(key);
    const uint64_t mine = slotValue(hash, position);
    size_t slot = firstSlot(hash);
    uint64_t value = slots_[slot].load(std::memory_order_relaxed);
    for (;;) {
        if (value == 0) {
            // On failure value holds what another thread put there.
            if (slots_[slot].compare_exchange_weak(value, mine, std::memory_order_relaxed))
                return true;
            continue;
        }
        if (uint32_t(value >> 32) == hash && sameKey(entries_[size_t(uint32_t(value)) - 1].key, key))
            return false;
        slot = (slot + 1) & (capacity_ - 1);
        value = slots_[slot].load(std::memory_order_relaxed);
    }
}

} // namespace analyzer
} // namespace inas
