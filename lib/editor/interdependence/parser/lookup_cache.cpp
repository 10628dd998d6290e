#include "editor/interdependence/parser/lookup_cache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace inas {
namespace parser {

namespace {

thread_local LookupCache *innermost = nullptr;

// The shared answers, split by the texts' hashes into parts that each take
// a lock of their own, so that threads asking about different texts seldom
// meet. Each part keeps the answers of one run: the living caches count the
// runs, and a part holding an earlier run's answers drops them when first
// used in a later one.
class SharedAnswers
{
public:
    using Answer = LookupCache::Answer;

    void enter()
    {
        const std::lock_guard<std::mutex> locker(runs_);
        if (alive_++ == 0)
            run_.fetch_add(1);
    }

    void leave()
    {
        bool last = false;
        {
            const std::lock_guard<std::mutex> locker(runs_);
            last = --alive_ == 0;
        }
        if (!last)
            return;
        for (Part &part : parts_) {
            const std::lock_guard<std::mutex> locker(part.mutex);
            part.drop(0);
        }
    }

    bool find(const void *owner, std::string_view text, Answer &answer)
    {
        const Key key(owner, text);
        Part &part = partOf(key);
        const std::lock_guard<std::mutex> locker(part.mutex);
        if (part.run != run_.load())
            return false;
        const auto it = part.answers.find(key);
        if (it == part.answers.end())
            return false;
        answer = it->second;
        return true;
    }

    // Keeps the first answer to a text.
    void insert(const void *owner, std::string_view text, const Answer &answer)
    {
        const Key key(owner, text);
        Part &part = partOf(key);
        const std::lock_guard<std::mutex> locker(part.mutex);
        const uint64_t run = run_.load();
        if (part.run != run)
            part.drop(run);
        if (part.answers.count(key))
            return;
        part.texts.emplace_back(text);
        part.answers.emplace(Key(key, part.texts.back()), answer);
    }

private:
    // A text of an owner, with its hash worked out once.
    struct Key
    {
        Key(const void *owner, std::string_view text)
            : owner(owner)
            , text(text)
            , hash(std::hash<std::string_view>()(text) ^ std::hash<const void *>()(owner))
        {}
        Key(const Key &key, std::string_view text)
            : owner(key.owner)
            , text(text)
            , hash(key.hash)
        {}
        const void *owner;
        std::string_view text;
        size_t hash;
        bool operator==(const Key &other) const
        {
            return hash == other.hash && owner == other.owner && text == other.text;
        }
    };
    struct KeyHash
    {
        size_t operator()(const Key &key) const { return key.hash; }
    };
    struct alignas(64) Part
    {
        std::mutex mutex;
        uint64_t run = 0;
        std::deque<std::string> texts; // the keys' texts
        std::unordered_map<Key, Answer, KeyHash> answers;

        void drop(uint64_t next)
        {
            answers = {};
            texts = {};
            run = next;
        }
    };
    static constexpr size_t PARTS = 32;

    Part &partOf(const Key &key) { return parts_[(key.hash >> 7) % PARTS]; }

    std::mutex runs_;
    int alive_ = 0;
    std::atomic<uint64_t> run_{0};
    std::array<Part, PARTS> parts_;
};

SharedAnswers &sharedAnswers()
{
    static SharedAnswers answers;
    return answers;
}

} // namespace

LookupCache::LookupCache()
    : previous_(innermost)
{
    innermost = this;
    sharedAnswers().enter();
}

LookupCache::~LookupCache()
{
    sharedAnswers().leave();
    innermost = previous_;
}

bool LookupCache::findShared(const void *owner, std::string_view text, Answer &answer)
{
    return innermost && sharedAnswers().find(owner, text, answer);
}

void LookupCache::insertShared(const void *owner, std::string_view text, const Answer &answer)
{
    if (innermost)
        sharedAnswers().insert(owner, text, answer);
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
