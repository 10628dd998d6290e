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

    // The answer owner gave for text, or null.
    const Answer *find(const void *owner, std::string_view text);
    void insert(const void *owner, std::string_view text, const Answer &answer);

    int size() const { return count_; }

private:
    // A text and its answer, in the order learnt.
    struct Entry
    {
        const void *owner;
        uint32_t offset; // of the text in chars_
        uint32_t length;
        uint32_t low; // low bits of the hash, which place the slot
        Answer answer;
    };
    // A slot of the table: eight bytes, so that a probe touches little
    // memory; the text is compared only when the hash bits agree.
    struct Slot
    {
        uint32_t tag = 0; // high bits of the hash
        uint32_t entry = 0; // 1 + index in entries_; 0: free
    };

    static uint64_t hashOf(const void *owner, std::string_view text);
    // The slot of owner's text: its own, or the free one where it would go.
    Slot &slotOf(uint64_t hash, const void *owner, std::string_view text);
    void grow();
    static uint32_t tagOf(uint64_t hash) { return uint32_t(hash >> 32); }

    // Distinct texts kept at most; past it the cache starts over, so that a
    // run over endless distinct texts stays within bounded memory.
    static constexpr size_t MAX_ENTRIES = size_t(1) << 16;
    // Bytes of text kept at most (offsets are 32-bit).
    static constexpr size_t MAX_CHARS = size_t(1) << 24;

    LookupCache *previous_ = nullptr;
    // Open addressing over a power-of-two table, the texts one after the
    // other in one buffer: a run learns a hundred thousand texts, and a node
    // and a string of their own each would cost more than the locks saved.
    std::vector<Slot> slots_;
    std::vector<Entry> entries_;
    std::string chars_;
    int count_ = 0;
};

} // namespace parser
} // namespace inas
