#include "editor/interdependence/parser/lookup_cache.h"

#include <algorithm>
#include <cstring>
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

uint8_t LookupCache::ownerIndex(const void *owner) const
{
    for (size_t i = 0; i < owners_.size(); ++i) {
        if (owners_[i] == owner)
            return uint8_t(i + 1);
    }
    return 0;
}

bool LookupCache::holds(const Slot &slot, uint32_t hash, uint8_t owner, std::string_view text) const
{
    if (slot.hash != hash || slot.owner != owner || slot.length != text.size())
        return false;
    if (text.size() <= INLINE_TEXT)
        return std::memcmp(slot.text, text.data(), text.size()) == 0;
    uint32_t offset = 0;
    std::memcpy(&offset, slot.text, sizeof(offset));
    return std::memcmp(chars_.data() + offset, text.data(), text.size()) == 0;
}

LookupCache::Slot &LookupCache::slotOf(uint32_t hash, uint8_t owner, std::string_view text)
{
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot &slot = slots_[i];
        if (!slot.owner || holds(slot, hash, owner, text))
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
        if (!slot.owner)
            continue;
        size_t i = slot.hash & mask;
        while (slots_[i].owner)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void LookupCache::startOver()
{
    // In the memory it has.
    std::fill(slots_.begin(), slots_.end(), Slot());
    guids_.clear();
    chars_.clear();
    count_ = 0;
}

const LookupCache::Answer *LookupCache::find(const void *owner, std::string_view text)
{
    missed_.text = nullptr;
    const uint8_t index = ownerIndex(owner);
    if (slots_.empty() || !index || text.size() > UINT16_MAX)
        return nullptr;
    const uint32_t hash = uint32_t(hashOf(owner, text));
    const Slot &slot = slotOf(hash, index, text);
    if (!slot.owner) {
        missed_ = Missed{owner, text.data(), text.size(), hash, size_t(&slot - slots_.data())};
        return nullptr;
    }
    found_.kind = slot.kind;
    found_.guid = slot.kind == Kind::NONE ? Velmora::UGUID() : guids_[slot.guid];
    return &found_;
}

void LookupCache::insert(const void *owner, std::string_view text, const Answer &answer)
{
    if (text.size() > UINT16_MAX)
        return;
    uint8_t index = ownerIndex(owner);
    if (!index) {
        if (owners_.size() == MAX_OWNERS) {
            owners_.clear();
            startOver();
        }
        owners_.push_back(owner);
        index = uint8_t(owners_.size());
    }
    // The search of a find that just missed this very text holds while the
    // table has neither started over nor grown since.
    const bool missed = missed_.text == text.data() && missed_.length == text.size() && missed_.owner == owner;
    missed_.text = nullptr;
    bool moved = false;
    const bool long_text = text.size() > INLINE_TEXT;
    if (size_t(count_) >= MAX_ENTRIES || (long_text && chars_.size() + text.size() > MAX_CHARS)) {
        startOver();
        moved = true;
    }
    if (size_t(count_ + 1) * 2 > slots_.size()) {
        grow();
        moved = true;
    }
    const uint32_t hash = missed ? missed_.hash : uint32_t(hashOf(owner, text));
    Slot &slot = missed && !moved ? slots_[missed_.slot] : slotOf(hash, index, text);
    if (!slot.owner) {
        slot.hash = hash;
        slot.length = uint16_t(text.size());
        slot.owner = index;
        if (long_text) {
            const uint32_t offset = uint32_t(chars_.size());
            std::memcpy(slot.text, &offset, sizeof(offset));
            chars_.append(text.data(), text.size());
        } else {
            std::memcpy(slot.text, text.data(), text.size());
        }
        ++count_;
    }
    slot.kind = answer.kind;
    if (answer.kind != Kind::NONE) {
        slot.guid = uint32_t(guids_.size());
        guids_.push_back(answer.guid);
    }
}

} // namespace parser
} // namespace inas
