#include "editor/interdependence/parser/lookup_cache.h"

#include <algorithm>
#include <functional>

namespace inas {
namespace parser {

namespace {

thread_local LookupCache *innermost = nullptr;

} // namespace

LookupCache::LookupCache()
    : previous_(innermost)
{
    innermost = this;
}

LookupCache::~LookupCache()
{
    innermost = previous_;
}

LookupCache *LookupCache::current()
{
    return innermost;
}

uint64_t LookupCache::hashOf(const void *owner, std::string_view text)
{
    return uint64_t(std::hash<std::string_view>()(text))
            ^ (uint64_t(reinterpret_cast<uintptr_t>(owner)) * 0x9E3779B97F4A7C15ull);
}

LookupCache::Slot &LookupCache::slotOf(uint64_t hash, const void *owner, std::string_view text)
{
    const size_t mask = slots_.size() - 1;
    const uint32_t tag = tagOf(hash);
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        Slot &slot = slots_[i];
        if (!slot.entry)
            return slot;
        if (slot.tag != tag)
            continue;
        const Entry &entry = entries_[slot.entry - 1];
        if (entry.owner == owner && entry.length == text.size()
            && std::string_view(chars_.data() + entry.offset, entry.length) == text)
            return slot;
    }
}

void LookupCache::grow()
{
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot());
    const size_t mask = slots_.size() - 1;
    for (const Slot &slot : old) {
        if (!slot.entry)
            continue;
        size_t i = size_t(entries_[slot.entry - 1].low) & mask;
        while (slots_[i].entry)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

const LookupCache::Answer *LookupCache::find(const void *owner, std::string_view text)
{
    if (slots_.empty())
        return nullptr;
    const Slot &slot = slotOf(hashOf(owner, text), owner, text);
    return slot.entry ? &entries_[slot.entry - 1].answer : nullptr;
}

void LookupCache::insert(const void *owner, std::string_view text, const Answer &answer)
{
    if (size_t(count_) >= MAX_ENTRIES || chars_.size() + text.size() > MAX_CHARS) {
        // Starts over in the memory it has.
        std::fill(slots_.begin(), slots_.end(), Slot());
        entries_.clear();
        chars_.clear();
        count_ = 0;
    }
    // At most half full.
    if (size_t(count_ + 1) * 2 > slots_.size())
        grow();
    const uint64_t hash = hashOf(owner, text);
    Slot &slot = slotOf(hash, owner, text);
    if (slot.entry) {
        entries_[slot.entry - 1].answer = answer;
        return;
    }
    entries_.push_back(Entry{owner, uint32_t(chars_.size()), uint32_t(text.size()), uint32_t(hash), answer});
    slot.tag = tagOf(hash);
    slot.entry = uint32_t(entries_.size());
    chars_.append(text.data(), text.size());
    ++count_;
}

} // namespace parser
} // namespace inas
