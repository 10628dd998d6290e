#include "editor/interdependence/parser/lookup_cache.h"

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

void LookupCache::clear()
{
    slots_.clear();
    chars_.clear();
    count_ = 0;
}

void LookupCache::adopt(const void *owner)
{
    if (owner_ == owner)
        return;
    clear();
    owner_ = owner;
}

LookupCache::Slot &LookupCache::slotOf(uint64_t hash, std::string_view text)
{
    const size_t mask = slots_.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        Slot &slot = slots_[i];
        if (!slot.used)
            return slot;
        if (slot.hash == hash && slot.length == text.size()
            && std::string_view(chars_.data() + slot.offset, slot.length) == text)
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
        if (!slot.used)
            continue;
        size_t i = size_t(slot.hash) & mask;
        while (slots_[i].used)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

const LookupCache::Answer *LookupCache::find(const void *owner, std::string_view text)
{
    adopt(owner);
    if (slots_.empty())
        return nullptr;
    const Slot &slot = slotOf(std::hash<std::string_view>()(text), text);
    return slot.used ? &slot.answer : nullptr;
}

void LookupCache::insert(const void *owner, std::string_view text, const Answer &answer)
{
    adopt(owner);
    if (size_t(count_) >= MAX_ENTRIES || chars_.size() + text.size() > MAX_CHARS)
        clear();
    // At most half full.
    if (size_t(count_ + 1) * 2 > slots_.size())
        grow();
    const uint64_t hash = std::hash<std::string_view>()(text);
    Slot &slot = slotOf(hash, text);
    if (slot.used) {
        slot.answer = answer;
        return;
    }
    slot.used = true;
    slot.hash = hash;
    slot.offset = uint32_t(chars_.size());
    slot.length = uint32_t(text.size());
    slot.answer = answer;
    chars_.append(text.data(), text.size());
    ++count_;
}

} // namespace parser
} // namespace inas
