#include "editor/interdependence/parser/path_table.h"

#include <functional>

namespace inas {
namespace parser {

namespace {

// Filter bits per slot: the filter has 16 bits per path at most half load.
const size_t FILTER_BITS_PER_SLOT = 8;
// How many paths ahead addStaged() fetches a path's slot and filter word.
const size_t PREFETCH_DISTANCE = 8;

size_t mix(size_t hash)
{
    return size_t((uint64_t(hash) | 1) * 0x9E3779B97F4A7C15ull);
}

} // namespace

size_t PathTable::hashOf(std::string_view path)
{
    return std::hash<std::string_view>()(path);
}

void PathTable::reserve(size_t paths, size_t bytes)
{
    buffer_.reserve(bytes);
    entries_.reserve(paths);
    if (paths * 2 > slots_.size())
        rebuild(paths * 2);
}

bool PathTable::add(std::string_view path, const Velmora::UGUID &guid)
{
    const size_t hash = hashOf(path);
    if (find(path, hash) >= 0)
        return false;
    if ((entries_.size() + 1) * 2 > slots_.size())
        rebuild((entries_.size() + 1) * 2);
    const Entry entry{buffer_.size(), path.size(), guid};
    buffer_.append(path.data(), path.size());
    insert(entry, hash);
    return true;
}

void PathTable::stage(std::string_view path, const Velmora::UGUID &guid)
{
    const size_t offset = buffer_.size();
    buffer_.append(path.data(), path.size());
    stageAt(offset, path.size(), guid, hashOf(path));
}

void PathTable::adopt(std::string &&bytes)
{
    if (entries_.empty() && staged_.empty())
        buffer_ = std::move(bytes);
}

void PathTable::stageAt(size_t offset, size_t length, const Velmora::UGUID &guid, size_t hash)
{
    // As many as were reserved and not added yet.
    if (staged_.empty()) {
        staged_.reserve(entries_.capacity() - entries_.size());
        staged_hashes_.reserve(staged_.capacity());
    }
    staged_.push_back({offset, length, guid});
    staged_hashes_.push_back(hash);
}

void PathTable::addStaged(const std::function<void(std::string_view path)> &repeated)
{
    const size_t count = staged_.size();
    if ((entries_.size() + count) * 2 > slots_.size())
        rebuild((entries_.size() + count) * 2);
    const auto text
            = [this](const Entry &entry) { return std::string_view(buffer_.data() + entry.offset, entry.length); };
    const std::vector<size_t> &hashes = staged_hashes_;
    // The slots and filter words lie far apart in large tables: those of a
    // path are fetched a few paths ahead of its turn.
    for (size_t i = 0; i < count; ++i) {
        if (i + PREFETCH_DISTANCE < count) {
            const size_t ahead = hashes[i + PREFETCH_DISTANCE];
            __builtin_prefetch(&slots_[firstSlot(ahead)]);
            __builtin_prefetch(&filter_[(ahead & (filter_.size() * 64 - 1)) / 64]);
        }
        if (find(text(staged_[i]), hashes[i]) >= 0) {
            repeated(text(staged_[i]));
            continue;
        }
        insert(staged_[i], hashes[i]);
    }
    staged_ = std::vector<Entry>();
    staged_hashes_ = std::vector<size_t>();
}

int PathTable::find(std::string_view path) const
{
    return find(path, hashOf(path));
}

int PathTable::find(std::string_view path, size_t hash) const
{
    if (slots_.empty() || !mayContain(hash))
        return -1;
    for (size_t slot = firstSlot(hash); slots_[slot] >= 0; slot = (slot + 1) & (slots_.size() - 1)) {
        if (this->path(slots_[slot]) == path)
            return slots_[slot];
    }
    return -1;
}

void PathTable::insert(const Entry &entry, size_t hash)
{
    size_t slot = firstSlot(hash);
    while (slots_[slot] >= 0)
        slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = int(entries_.size());
    entries_.push_back(entry);
    setFilterBits(hash);
}

size_t PathTable::firstSlot(size_t hash) const
{
    return (mix(hash) >> 16) & (slots_.size() - 1);
}

bool PathTable::mayContain(size_t hash) const
{
    const size_t bits = filter_.size() * 64;
    const size_t a = hash & (bits - 1);
    const size_t b = (mix(hash >> 32) >> 7) & (bits - 1);
    return (filter_[a / 64] >> (a % 64) & 1) && (filter_[b / 64] >> (b % 64) & 1);
}

void PathTable::setFilterBits(size_t hash)
{
    const size_t bits = filter_.size() * 64;
    const size_t a = hash & (bits - 1);
    const size_t b = (mix(hash >> 32) >> 7) & (bits - 1);
    filter_[a / 64] |= uint64_t(1) << (a % 64);
    filter_[b / 64] |= uint64_t(1) << (b % 64);
}

void PathTable::rebuild(size_t minimum)
{
    size_t capacity = 64;
    while (capacity < minimum)
        capacity *= 2;
    slots_.assign(capacity, -1);
    filter_.assign(capacity * FILTER_BITS_PER_SLOT / 64, 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const size_t hash = hashOf(path(int(i)));
        size_t slot = firstSlot(hash);
        while (slots_[slot] >= 0)
            slot = (slot + 1) & (capacity - 1);
        slots_[slot] = int(i);
        setFilterBits(hash);
    }
}

} // namespace parser
} // namespace inas
