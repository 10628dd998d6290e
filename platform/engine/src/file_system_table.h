// The engine file system's tables: files by data-relative path, with
// their records, and GUIDs to their entries. Internal to the file system
// (file_system.cpp, file_system_index.cpp).
#pragma once

#include "velmora/UGUID.h"

#include "thread_kit.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace Velmora {
namespace engine_internal {
namespace fs {

constexpr char RUNTIMES_FOLDER[] = ".runtimes";

struct Record
{
    UGUID guid;
    bool asset = false; // GUID from an asset meta file or guids.db, outside .runtimes/
    // A stored runtime's owner (the "asset" of its side meta) is kept apart,
    // by the file's GUID: few files have one.
};

// The extension of a data-relative path as String::extension() finds it
// (after the last dot of the last path component, unless that dot starts
// the name): whether it is extension (length bytes, lower case), case
// aside.
inline bool hasExtension(const std::string &path, const char *extension, size_t length)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot - 1 != length)
        return false;
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos && dot <= slash + 1)
        return false;
    if (dot == 0)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const char c = path[dot + 1 + i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != extension[i])
            return false;
    }
    return true;
}

// A hash of the bytes of an extension, never 0.
inline uint32_t extensionHash(const char *extension, size_t length, bool lower)
{
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        const char c = extension[i];
        hash = (hash ^ uint8_t(lower && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c)) * 16777619u;
    }
    return hash | 1;
}

// The hash of a path's extension in lower case (see hasExtension); 0 when
// it has none. A path has extension only when their hashes are the same.
inline uint32_t extensionKey(const std::string &path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return 0;
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos && dot <= slash + 1)
        return 0;
    return extensionHash(path.data() + dot + 1, path.size() - dot - 1, true);
}

// Data-relative path -> record, listed in path order, with a hash index for
// the lookups by path that every resolved reference makes: an open-addressing
// table of map positions (which stay valid while their entry lives, also
// when the table is moved), and in front of it a Bloom filter small enough
// to stay in the cache, so that the many texts that name no file (numbers,
// names, expressions) are turned away without touching the large table.
class FileTable
{
public:
    using Map = std::map<std::string, Record>;
    using iterator = Map::iterator;
    using const_iterator = Map::const_iterator;

    FileTable() = default;
    FileTable(FileTable &&) = default;
    FileTable &operator=(FileTable &&) = default;
    FileTable(const FileTable &) = delete;
    FileTable &operator=(const FileTable &) = delete;

    iterator find(std::string_view path)
    {
        const long slot = locate(path, hashOf(path));
        return slot < 0 ? map_.end() : slots_[size_t(slot)].position;
    }
    const_iterator find(std::string_view path) const
    {
        const long slot = locate(path, hashOf(path));
        return slot < 0 ? map_.cend() : const_iterator(slots_[size_t(slot)].position);
    }
    size_t count(std::string_view path) const { return find(path) == map_.cend() ? 0 : 1; }
    // The entry of path, made (with an empty record) when there is none.
    iterator insert(const std::string &path)
    {
        const size_t before = map_.size();
        const iterator it = slotFor(path, hashOf(path));
        if (map_.size() != before)
            forgetOrder();
        return it;
    }
    // Fills an empty table with the paths that keep(index) accepts, from
    // paths sorted by bytes (no check), each with an empty record; their
    // entries are appended to entries, in order. The tree is built without
    // searching it, and the slots are placed once every entry is in. A
    // large listing is cut into consecutive parts whose entries (paths,
    // nodes and hashes) are made on several threads, each node on its own;
    // this one then puts the nodes of each part in turn at the end of the
    // tree.
    template<typename Keep>
    void fillSorted(const std::vector<std::string> &paths, Keep keep, std::vector<iterator> &entries)
    {
        clear();
        constexpr size_t PARALLEL_FROM = 8192;
        const size_t parts = paths.size() < PARALLEL_FROM ? 1 : workerCount();
        std::vector<std::vector<Map::node_type>> part_nodes(parts);
        std::vector<std::vector<size_t>> part_hashes(parts);
        std::unique_ptr<std::atomic<bool>[]> made(new std::atomic<bool>[parts]);
        std::mutex made_lock;
        std::condition_variable made_changed;
        auto make = [&](size_t part) {
            std::vector<Map::node_type> &nodes = part_nodes[part];
            std::vector<size_t> &hashes = part_hashes[part];
            const size_t end = paths.size() * (part + 1) / parts;
            hashes.reserve(end - paths.size() * part / parts);
            nodes.reserve(end - paths.size() * part / parts);
            // A node taken out of a map of one entry: nothing to rebalance.
            Map node_map;
            for (size_t i = paths.size() * part / parts; i < end; ++i)
                if (keep(i)) {
                    hashes.push_back(hashOf(paths[i]));
                    node_map.emplace(paths[i], Record());
                    nodes.push_back(node_map.extract(node_map.begin()));
                }
            {
                std::lock_guard<std::mutex> locker(made_lock);
                made[part].store(true);
            }
            made_changed.notify_one();
        };
        for (size_t part = 0; part < parts; ++part)
            made[part].store(false);
        ThreadGroup makers;
        for (size_t part = 1; part < parts; ++part)
            if (!makers.start([&make, part] { make(part); }))
                break;
        make(0);
        // Parts no thread took are made here.
        for (size_t part = makers.size() + 1; part < parts; ++part)
            make(part);
        // Every part is made first, so that the lists are sized exactly.
        size_t count = 0;
        for (size_t part = 0; part < parts; ++part) {
            if (!made[part].load()) {
                std::unique_lock<std::mutex> locker(made_lock);
                made_changed.wait(locker, [&] { return made[part].load(); });
            }
            count += part_hashes[part].size();
        }
        std::vector<size_t> hashes;
        hashes.reserve(count);
        for (size_t part = 0; part < parts; ++part) {
            hashes.insert(hashes.end(), part_hashes[part].begin(), part_hashes[part].end());
            std::vector<size_t>().swap(part_hashes[part]);
        }
        // Where each entry's slot goes depends on the hashes alone: the slots
        // are placed on another thread while the nodes go into the tree, and
        // get their positions once both are done.
        std::vector<uint32_t> slot_of;
        entries.reserve(entries.size() + count);
        ThreadGroup placing;
        if (!placing.start([this, &hashes, &slot_of] { placeHashes(hashes, slot_of); }))
            placeHashes(hashes, slot_of);
        for (size_t part = 0; part < parts; ++part) {
            for (Map::node_type &node : part_nodes[part])
                entries.push_back(map_.insert(map_.end(), std::move(node)));
            std::vector<Map::node_type>().swap(part_nodes[part]);
        }
        makers.join();
        placing.join();
        const iterator *placed = entries.data() + (entries.size() - count);
        for (size_t i = 0; i < count; ++i)
            slots_[slot_of[i]].position = placed[i];
    }
    void erase(iterator it)
    {
        const long slot = locate(it->first, hashOf(it->first));
        if (slot >= 0)
            removeSlot(size_t(slot));
        map_.erase(it);
        forgetOrder();
    }
    void erase(std::string_view path)
    {
        const iterator it = find(path);
        if (it != map_.end())
            erase(it);
    }
    void clear()
    {
        map_.clear();
        slots_.clear();
        filter_.clear();
        forgetOrder();
    }
    // Keeps every entry in path order with the extension key of its path
    // (see extensionKey), until the entries change: a search by extension
    // then reads the keys, not the tree and its paths. entries: all the
    // table's entries, in order.
    void keepOrder(std::vector<iterator> &&entries, std::vector<uint32_t> &&keys)
    {
        if (entries.size() != map_.size() || keys.size() != entries.size())
            return;
        ordered_ = std::move(entries);
        ordered_.shrink_to_fit();
        extension_keys_ = std::move(keys);
    }
    // Calls found(path) in path order for each path whose extension is
    // extension (lower case, see hasExtension).
    template<typename Found>
    void forEachWithExtension(const char *extension, Found found) const
    {
        const size_t length = std::strlen(extension);
        if (ordered_.empty() && !map_.empty()) {
            for (const auto &file : map_)
                if (hasExtension(file.first, extension, length))
                    found(file.first);
            return;
        }
        const uint32_t key = extensionHash(extension, length, false);
        for (size_t i = 0; i < ordered_.size(); ++i)
            if (extension_keys_[i] == key && hasExtension(ordered_[i]->first, extension, length))
                found(ordered_[i]->first);
    }
    size_t size() const { return map_.size(); }
    iterator begin() { return map_.begin(); }
    iterator end() { return map_.end(); }
    const_iterator begin() const { return map_.begin(); }
    const_iterator end() const { return map_.end(); }

private:
    // 16 bytes: the low half of the path's hash is enough to place the
    // slot and to turn away nearly every other path before comparing.
    struct Slot
    {
        iterator position;
        uint32_t hash = 0;
        bool used = false;
    };
    // Filter bits per slot; the table is at most half full.
    static constexpr size_t FILTER_BITS_PER_SLOT = 8;

    static size_t hashOf(std::string_view path) { return std::hash<std::string_view>()(path); }
    static size_t mix(size_t hash) { return size_t((uint64_t(hash) | 1) * 0x9E3779B97F4A7C15ull); }
    size_t home(uint32_t hash) const { return (mix(hash) >> 16) & (slots_.size() - 1); }

    iterator slotFor(const std::string &path, size_t hash)
    {
        const long slot = locate(path, hash);
        if (slot >= 0)
            return slots_[size_t(slot)].position;
        // Room first: a rehash places the entries the map has.
        if ((map_.size() + 1) * 2 > slots_.size())
            rehash((map_.size() + 1) * 2);
        const iterator it = map_.emplace(path, Record()).first;
        insert(it, hash);
        return it;
    }

    long locate(std::string_view path, size_t hash) const
    {
        if (slots_.empty() || !mayContain(hash))
            return -1;
        const uint32_t low = uint32_t(hash);
        for (size_t slot = home(low);; slot = (slot + 1) & (slots_.size() - 1)) {
            const Slot &entry = slots_[slot];
            if (!entry.used)
                return -1;
            if (entry.hash == low && entry.position->first == path)
                return long(slot);
        }
    }
    // There is a free slot (see slotFor).
    void insert(iterator position, size_t hash)
    {
        size_t slot = home(uint32_t(hash));
        while (slots_[slot].used)
            slot = (slot + 1) & (slots_.size() - 1);
        slots_[slot] = Slot{position, uint32_t(hash), true};
        setFilterBits(hash);
    }
    // Takes a slot out and moves later slots of its run back, so that every
    // entry stays reachable from its home slot.
    void removeSlot(size_t hole)
    {
        const size_t mask = slots_.size() - 1;
        slots_[hole].used = false;
        for (size_t next = (hole + 1) & mask; slots_[next].used; next = (next + 1) & mask) {
            const size_t wanted = home(slots_[next].hash);
            const bool stays = hole <= next ? (hole < wanted && wanted <= next) : (hole < wanted || wanted <= next);
            if (stays)
                continue;
            slots_[hole] = slots_[next];
            slots_[next].used = false;
            hole = next;
        }
    }
    // Makes the slots (and filter bits) of a table whose map will hold
    // exactly the entries of these path hashes; slot_of gets the slot of
    // each, whose position the caller fills in once the entries are in the
    // map. They are placed in the order of their home slots: a large table
    // is written front to back, not at random. Any order of insertion
    // leaves every entry reachable from its home slot, so lookups find the
    // same entries.
    void placeHashes(const std::vector<size_t> &hashes, std::vector<uint32_t> &slot_of)
    {
        const size_t count = hashes.size();
        size_t capacity = 1024;
        while (capacity < count * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot());
        filter_.assign(capacity * FILTER_BITS_PER_SLOT / 64, 0);
        // A bucket sort by home slot, 64 slots to a bucket.
        constexpr size_t BUCKET_SLOTS = 64;
        const size_t buckets = capacity / BUCKET_SLOTS;
        std::vector<uint32_t> starts(buckets + 1, 0);
        for (size_t i = 0; i < count; ++i)
            ++starts[home(uint32_t(hashes[i])) / BUCKET_SLOTS + 1];
        for (size_t b = 0; b < buckets; ++b)
            starts[b + 1] += starts[b];
        std::vector<uint32_t> order(count);
        for (size_t i = 0; i < count; ++i)
            order[starts[home(uint32_t(hashes[i])) / BUCKET_SLOTS]++] = uint32_t(i);
        slot_of.resize(count);
        for (const uint32_t i : order) {
            size_t slot = home(uint32_t(hashes[i]));
            while (slots_[slot].used)
                slot = (slot + 1) & (capacity - 1);
            slots_[slot].hash = uint32_t(hashes[i]);
            slots_[slot].used = true;
            slot_of[i] = uint32_t(slot);
            setFilterBits(hashes[i]);
        }
    }
    void rehash(size_t minimum)
    {
        size_t capacity = 1024;
        while (capacity < minimum)
            capacity *= 2;
        slots_.assign(capacity, Slot());
        // Erased paths leave no bits behind after a rehash.
        filter_.assign(capacity * FILTER_BITS_PER_SLOT / 64, 0);
        for (iterator it = map_.begin(); it != map_.end(); ++it) {
            const size_t hash = hashOf(it->first);
            size_t slot = home(uint32_t(hash));
            while (slots_[slot].used)
                slot = (slot + 1) & (capacity - 1);
            slots_[slot] = Slot{it, uint32_t(hash), true};
            setFilterBits(hash);
        }
    }
    bool mayContain(size_t hash) const
    {
        const size_t bits = filter_.size() * 64;
        const size_t a = hash & (bits - 1);
        const size_t b = (mix(hash >> 32) >> 7) & (bits - 1);
        return (filter_[a / 64] >> (a % 64) & 1) && (filter_[b / 64] >> (b % 64) & 1);
    }
    // Erased paths keep their bits: that only lets a few more texts through
    // to the table.
    void setFilterBits(size_t hash)
    {
        const size_t bits = filter_.size() * 64;
        const size_t a = hash & (bits - 1);
        const size_t b = (mix(hash >> 32) >> 7) & (bits - 1);
        filter_[a / 64] |= uint64_t(1) << (a % 64);
        filter_[b / 64] |= uint64_t(1) << (b % 64);
    }

    void forgetOrder()
    {
        std::vector<iterator>().swap(ordered_);
        std::vector<uint32_t>().swap(extension_keys_);
    }

    Map map_;
    std::vector<Slot> slots_;
    std::vector<uint64_t> filter_;
    // Empty, or every entry in path order with its extension key.
    std::vector<iterator> ordered_;
    std::vector<uint32_t> extension_keys_;
};

struct GuidHash
{
    size_t operator()(const UGUID &guid) const noexcept { return guid.hash(); }
};

// GUID -> the file's entry in the table (entries stay where they are while
// they live): one open-addressing array of GUIDs and entries, at most two
// thirds full, so that claiming a GUID allocates nothing and touches one
// place.
// Its positions work as a map's iterators (first: the GUID, second: the
// entry; end() is null); adding may move every position, removing moves
// later ones back.
class GuidMap
{
public:
    struct Slot
    {
        UGUID first;
        bool used = false;
        FileTable::iterator second;
    };
    using iterator = Slot *;
    using const_iterator = const Slot *;

    GuidMap() = default;
    GuidMap(GuidMap &&other) noexcept
        : slots_(std::move(other.slots_))
        , size_(std::exchange(other.size_, 0))
    {}
    GuidMap &operator=(GuidMap &&other) noexcept
    {
        slots_ = std::move(other.slots_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    GuidMap(const GuidMap &) = delete;
    GuidMap &operator=(const GuidMap &) = delete;

    iterator end() { return nullptr; }
    const_iterator end() const { return nullptr; }
    iterator find(const UGUID &guid) { return slots_.empty() ? nullptr : at(locate(guid)); }
    const_iterator find(const UGUID &guid) const
    {
        return slots_.empty() ? nullptr : const_cast<GuidMap *>(this)->at(locate(guid));
    }
    size_t count(const UGUID &guid) const { return find(guid) ? 1 : 0; }
    size_t size() const { return size_; }
    // The position of guid, made (with no entry) when there is none; second:
    // whether it was made.
    std::pair<iterator, bool> try_emplace(const UGUID &guid)
    {
        if (!fits(size_ + 1))
            rehash(std::max<size_t>(8, size_ * 2));
        const size_t slot = locate(guid);
        if (slots_[slot].used)
            return {&slots_[slot], false};
        slots_[slot].first = guid;
        slots_[slot].used = true;
        slots_[slot].second = FileTable::iterator();
        ++size_;
        return {&slots_[slot], true};
    }
    std::pair<iterator, bool> emplace(const UGUID &guid, FileTable::iterator entry)
    {
        const auto made = try_emplace(guid);
        if (made.second)
            made.first->second = entry;
        return made;
    }
    FileTable::iterator &operator[](const UGUID &guid) { return try_emplace(guid).first->second; }
    size_t erase(const UGUID &guid)
    {
        const iterator it = find(guid);
        if (!it)
            return 0;
        erase(it);
        return 1;
    }
    void erase(iterator it)
    {
        size_t hole = size_t(it - slots_.data());
        slots_[hole] = Slot();
        --size_;
        for (size_t next = following(hole); slots_[next].used; next = following(next)) {
            const size_t wanted = home(slots_[next].first);
            const bool stays = hole <= next ? (hole < wanted && wanted <= next) : (hole < wanted || wanted <= next);
            if (stays)
                continue;
            slots_[hole] = slots_[next];
            slots_[next] = Slot();
            hole = next;
        }
    }
    // Room for n GUIDs: adding up to n moves no position.
    void reserve(size_t n)
    {
        if (!fits(n))
            rehash(n);
    }
    void clear()
    {
        std::vector<Slot>().swap(slots_);
        size_ = 0;
    }
    // Asks for the home of guid to be brought into the cache.
    void prefetch(const UGUID &guid) const
    {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[home(guid)]);
    }

private:
    bool fits(size_t n) const { return n * 3 <= slots_.size() * 2; }
    // The mixed hash scaled to the array's size (any size).
    size_t home(const UGUID &guid) const
    {
        const uint64_t mixed = ((uint64_t(guid.hash()) | 1) * 0x9E3779B97F4A7C15ull) >> 32;
        return size_t((mixed * slots_.size()) >> 32);
    }
    size_t following(size_t slot) const { return slot + 1 == slots_.size() ? 0 : slot + 1; }
    // The slot of guid, or the free slot where it would go.
    size_t locate(const UGUID &guid) const
    {
        size_t slot = home(guid);
        while (slots_[slot].used && !(slots_[slot].first == guid))
            slot = following(slot);
        return slot;
    }
    iterator at(size_t slot) { return slots_[slot].used ? &slots_[slot] : nullptr; }
    // Room for n GUIDs (n at least the size).
    void rehash(size_t n)
    {
        const size_t capacity = std::max<size_t>(16, n * 3 / 2 + 1);
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        for (const Slot &slot : old)
            if (slot.used)
                slots_[locate(slot.first)] = slot;
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;
};

inline bool isMetaPath(const std::string &path)
{
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".meta") == 0;
}

inline bool isRuntimePath(const std::string &path)
{
    const size_t length = std::strlen(RUNTIMES_FOLDER);
    return path.size() > length && path.compare(0, length, RUNTIMES_FOLDER) == 0 && path[length] == '/';
}

} // namespace fs
} // namespace engine_internal
} // namespace Velmora
