#pragma once

#include <velmora/UGUID.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inas {
namespace parser {

// The resolver's answers on one thread, remembered per text for as long as an
// instance lives on that thread: the same texts (GUIDs of shared materials,
// numbers, names) recur in thousands of files, and each first answer costs
// lookups under the engine's and the asset manager's locks. The parser
// driver gives each of its reading threads one for the span of a run, over
// which the data it answers from is taken as it stood when the run began (as
// the resolver's path table already is). Each answer belongs to the one that
// gave it (a resolver, or the material registry for material names), and is
// only ever given back to it. Instances nest; only the innermost one of a
// thread is used. Not shared between threads, so it takes no lock.
class LookupCache
{
public:
    enum class Kind : uint8_t {
        NONE, // nothing found, nothing lost
        FOUND, // guid is a use
        MISSING // guid names a lost file
    };
    struct Answer
    {
        Kind kind = Kind::NONE;
        Velmora::UGUID guid;
    };

    LookupCache();
    ~LookupCache();
    LookupCache(const LookupCache &) = delete;
    LookupCache &operator=(const LookupCache &) = delete;

    // The innermost cache of the calling thread, or null.
    static LookupCache *current();

    // The answer owner gave for text, or null. The answer stays valid until
    // the next call on this cache. A text not found is remembered, so that
    // inserting its answer right after costs no second search.
    const Answer *find(const void *owner, std::string_view text);
    void insert(const void *owner, std::string_view text, const Answer &answer);

    int size() const { return count_; }

    // Answers shared by the caches of one run on all threads, for lookups
    // that every thread would otherwise repeat for itself (material names):
    // the first thread to ask keeps its answer here for the others. A run
    // lasts while any cache lives; its shared answers go with its last
    // cache. Both take a lock of their own per part of the texts, and do
    // nothing when the calling thread has no cache.
    static bool findShared(const void *owner, std::string_view text, Answer &answer);
    static void insertShared(const void *owner, std::string_view text, const Answer &answer);

private:
    // Texts of at most this many bytes are kept in their slot.
    static constexpr size_t INLINE_TEXT = 20;

    // One text and its answer in 32 bytes, so that a lookup of a short text
    // reads one slot and nothing else: the slot is found by the hash, a
    // short text lies in the slot, a longer one in chars_, and the GUID of
    // an answer that has one in guids_.
    struct Slot
    {
        uint32_t hash = 0; // low bits of the hash
        uint16_t length = 0;
        uint8_t owner = 0; // 1 + index in owners_; 0: a free slot
        Kind kind = Kind::NONE;
        uint32_t guid = 0; // index in guids_ (an answer with a GUID)
        char text[INLINE_TEXT] = {}; // the text, or its offset in chars_
    };

    static uint64_t hashOf(const void *owner, std::string_view text);
    // The index of owner in owners_ plus one; 0 when it has none yet.
    uint8_t ownerIndex(const void *owner) const;
    bool holds(const Slot &slot, uint32_t hash, uint8_t owner, std::string_view text) const;
    // The slot of owner's text: its own, or the free one where it would go.
    Slot &slotOf(uint32_t hash, uint8_t owner, std::string_view text);
    void grow();
    void startOver();

    // Distinct texts kept at most; past it the cache starts over, so that a
    // run over endless distinct texts stays within bounded memory.
    static constexpr size_t MAX_ENTRIES = size_t(1) << 16;
    // Bytes of long texts kept at most (offsets are 32-bit).
    static constexpr size_t MAX_CHARS = size_t(1) << 24;
    // Owners told apart at most (a run has two or three).
    static constexpr size_t MAX_OWNERS = 255;

    LookupCache *previous_ = nullptr;
    // Open addressing over a power-of-two table, at most half full: a run
    // learns a hundred thousand texts, and a node and a string of their own
    // each would cost more than the locks saved.
    std::vector<Slot> slots_;
    std::vector<const void *> owners_;
    std::vector<Velmora::UGUID> guids_;
    std::string chars_;
    int count_ = 0;
    Answer found_;
    // The last text find did not find, and the free slot where it would go.
    struct Missed
    {
        const void *owner = nullptr;
        const char *text = nullptr;
        size_t length = 0;
        uint32_t hash = 0;
        size_t slot = 0;
    };
    Missed missed_;
};

} // namespace parser
} // namespace inas
