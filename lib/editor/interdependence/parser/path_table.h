#pragma once

#include <velmora/UGUID.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace inas {
namespace parser {

// The resolver's table of data-relative asset paths, in the order they were
// added, with an exact lookup. The paths live one after the other in one
// buffer and the lookup is an open-addressing table of positions, so a
// project of 100,000 assets costs a handful of allocations; a Bloom filter
// in front turns away most texts that are no path at all without touching
// the large table.
class PathTable
{
public:
    void reserve(size_t paths, size_t bytes);
    // Adds a path; false (and no change) when the path is there already.
    bool add(std::string_view path, const Velmora::UGUID &guid);
    // Holds a path back for addStaged(), which adds many at less cost per
    // path than add() one by one.
    void stage(std::string_view path, const Velmora::UGUID &guid);
    // Takes bytes over as the table's text, for a table that neither holds
    // nor stages a path yet: stageAt() then stages paths that lie in it, and
    // stage() adds its paths after them.
    void adopt(std::string &&bytes);
    // Stages the path at [offset, offset + length) of the table's text, with
    // its hash (hashOf), which the caller has worked out.
    void stageAt(size_t offset, size_t length, const Velmora::UGUID &guid, size_t hash);
    // Adds the staged paths as add() would, in the order they were staged,
    // and calls repeated with each that was there already (or staged before
    // it), which is left out.
    void addStaged(const std::function<void(std::string_view path)> &repeated);

    // The hash the table keeps a path under.
    static size_t hashOf(std::string_view path);

    // Position of the path, -1 when it is not in the table.
    int find(std::string_view path) const;
    int size() const { return int(entries_.size()); }
    std::string_view path(int position) const
    {
        const Entry &entry = entries_[size_t(position)];
        return std::string_view(buffer_.data() + entry.offset, entry.length);
    }
    const Velmora::UGUID &guid(int position) const { return entries_[size_t(position)].guid; }

private:
    struct Entry
    {
        size_t offset;
        size_t length;
        Velmora::UGUID guid;
    };

    int find(std::string_view path, size_t hash) const;
    void insert(const Entry &entry, size_t hash);
    size_t firstSlot(size_t hash) const;
    bool mayContain(size_t hash) const;
    void rebuild(size_t capacity);
    void setFilterBits(size_t hash);

    std::string buffer_;
    std::vector<Entry> entries_;
    // Paths held back by stage(), their texts in buffer_, and their hashes.
    std::vector<Entry> staged_;
    std::vector<size_t> staged_hashes_;
    // Positions in entries_, -1 for a free slot; the size is a power of two.
    std::vector<int> slots_;
    std::vector<uint64_t> filter_;
};

} // namespace parser
} // namespace inas
