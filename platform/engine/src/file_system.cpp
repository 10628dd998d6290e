#include "velmora/FileSystem.h"

#include "velmora/Log.h"
#include "velmora/LogHold.h"
#include "velmora/MetaScan.h"
#include "velmora/Xml.h"

#include "log_internal.h"
#include "spread_shared_mutex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Velmora {

namespace {

const char GUID_PREFIX[] = "guid://";
const char RUNTIMES_FOLDER[] = ".runtimes";

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
bool hasExtension(const std::string &path, const char *extension, size_t length)
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
uint32_t extensionHash(const char *extension, size_t length, bool lower)
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
uint32_t extensionKey(const std::string &path)
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
        const unsigned cores = std::thread::hardware_concurrency();
        const size_t parts = paths.size() < PARALLEL_FROM ? 1 : std::max(1u, std::min(8u, cores == 0 ? 2u : cores));
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
        std::vector<std::thread> pool;
        try {
            for (size_t part = 1; part < parts; ++part)
                pool.emplace_back(make, part);
        } catch (const std::system_error &) {}
        make(0);
        // Parts no thread took are made here.
        for (size_t part = pool.size() + 1; part < parts; ++part)
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
        std::thread placing;
        try {
            placing = std::thread([this, &hashes, &slot_of] { placeHashes(hashes, slot_of); });
        } catch (const std::system_error &) {
            placeHashes(hashes, slot_of);
        }
        for (size_t part = 0; part < parts; ++part) {
            for (Map::node_type &node : part_nodes[part])
                entries.push_back(map_.insert(map_.end(), std::move(node)));
            std::vector<Map::node_type>().swap(part_nodes[part]);
        }
        for (std::thread &thread : pool)
            thread.join();
        if (placing.joinable())
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

struct FsState
{
    // Standard locks inside, so that thread sanitizer runs see it.
    engine_internal::SpreadSharedMutex lock;
    bool initialized = false;
    bool read_guids_db = true;
    QString data_path; // absolute, cleaned, ending with "/"
    FileTable files; // data-relative path -> record
    GuidMap by_guid;
    // File GUID -> the asset named by the side meta of a stored runtime.
    std::unordered_map<UGUID, UGUID, GuidHash> owners;
    std::unordered_map<UGUID, UGUID> virtual_files; // guid -> owner
    int guids_db_entries = 0;
    // The read of the data folder made by init, until the asset manager
    // takes it or the index changes.
    std::shared_ptr<MetaScan> scan;
    // Lets go of that read's records (see buildIndex); joined by the next
    // init and by shutdown.
    std::thread release_thread;
};

void joinReleaseThread(FsState &s)
{
    if (s.release_thread.joinable())
        s.release_thread.join();
}

FsState &state()
{
    static FsState *s = new FsState;
    return *s;
}

// Collects one log line and writes it when destroyed: declared before a
// locker, it logs after the lock is released, so that console callbacks
// may query the file system.
class DeferredLog
{
public:
    DeferredLog() = default;
    DeferredLog(const DeferredLog &) = delete;
    DeferredLog &operator=(const DeferredLog &) = delete;
    ~DeferredLog()
    {
        if (kind_ == 1)
            Log::warning("%s", text_.c_str());
        else if (kind_ == 2)
            Log::error("%s", text_.c_str());
    }
    void warning(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        text_ = detail::vformat(format, args);
        va_end(args);
        kind_ = 1;
    }
    void error(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        text_ = detail::vformat(format, args);
        va_end(args);
        kind_ = 2;
    }

private:
    int kind_ = 0;
    std::string text_;
};

bool startsWithGuidPrefix(const char *path)
{
    return path && std::strncmp(path, GUID_PREFIX, 7) == 0;
}

bool isMetaPath(const std::string &path)
{
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".meta") == 0;
}

bool isRuntimePath(const std::string &path)
{
    const size_t length = std::strlen(RUNTIMES_FOLDER);
    return path.size() > length && path.compare(0, length, RUNTIMES_FOLDER) == 0 && path[length] == '/';
}

// Data-relative form of path ("" when outside the data folder). Caller holds the lock.
// A relative path that cleaning would leave as it is: ASCII, no "\\", no
// empty, "." or ".." component, no leading or trailing "/", and not a Qt
// resource path. Most texts that the file system is asked about are such
// paths (or no path at all), so they need no QString round trip.
bool isCleanRelativePath(const char *path)
{
    if (*path == '/' || *path == ':')
        return false;
    const char *segment = path;
    for (const char *c = path;; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (ch >= 0x80 || ch == '\\')
            return false;
        if (ch == '/' || ch == 0) {
            const size_t length = size_t(c - segment);
            if (length == 0 || (length == 1 && segment[0] == '.')
                || (length == 2 && segment[0] == '.' && segment[1] == '.'))
                return false;
            if (ch == 0)
                return true;
            segment = c + 1;
        }
    }
}

std::string toRelative(const FsState &s, const char *path)
{
    if (!path || !*path || s.data_path.isEmpty())
        return std::string();
    if (isCleanRelativePath(path))
        return std::string(path);
    QString p = QString::fromUtf8(path);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(p)) {
        p = QDir::cleanPath(p);
        if (!p.startsWith(s.data_path))
            return std::string();
        p = p.mid(s.data_path.size());
    } else {
        p = QDir::cleanPath(p);
        if (p == QLatin1String(".."))
            return std::string();
        if (p.startsWith(QLatin1String("../")))
            return std::string();
        if (p == QLatin1String("."))
            return std::string();
    }
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    return p.toStdString();
}

// GUID named by a "guid://" path (empty when it does not parse).
UGUID guidOfGuidPath(const char *path)
{
    UGUID guid;
    if (startsWithGuidPrefix(path))
        guid.setString(path);
    return guid;
}

struct MetaInfo
{
    UGUID guid;
    bool readable = false;
    bool is_asset = false;
    UGUID owner;
};

// What a meta file says, from the scan's record; one warning for a wrong
// root or a broken GUID.
MetaInfo metaInfo(const MetaRecord &record)
{
    MetaInfo info;
    if (!record.loaded)
        return info;
    if (record.root() != "asset" && record.root() != "runtime") {
        Log::warning("FileSystem: \"%s.meta\" has the root <%s>, not <asset> or <runtime>\n", record.path().data(),
                     record.root().data());
        return info;
    }
    if (!record.guidValue(info.guid) || info.guid.isEmpty()) {
        Log::warning("FileSystem: \"%s.meta\" has a broken GUID \"%s\"; the file gets its path GUID\n",
                     record.path().data(), record.guid().data());
        info.guid.clear();
        return info;
    }
    info.readable = true;
    info.is_asset = record.root() == "asset";
    if (!info.is_asset)
        info.owner.setString(record.owner().data());
    return info;
}

// Reads "<file>.meta" (absolute path); one warning for a broken GUID.
MetaInfo readMeta(const QString &meta_path, const std::string &relative)
{
    MetaRecord record;
    Xml xml;
    if (!xml.load(meta_path.toUtf8().constData()))
        return MetaInfo();
    record.loaded = true;
    record.setTexts(relative, xml.getName(), xml.getArg("guid"), xml.getArg("asset"), std::string_view());
    return metaInfo(record);
}

// guids.db: a JSON object GUID text -> data-relative path.
std::map<std::string, UGUID> readGuidsDb(const QString &data_path, int &entries)
{
    std::map<std::string, UGUID> by_path;
    entries = 0;
    QFile file(data_path + QLatin1String("guids.db"));
    if (!file.exists())
        return by_path;
    if (!file.open(QIODevice::ReadOnly)) {
        Log::warning("FileSystem: can't read \"%s\"\n", file.fileName().toUtf8().constData());
        return by_path;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        Log::warning("FileSystem: \"%s\" is not a JSON object; it is ignored\n", file.fileName().toUtf8().constData());
        return by_path;
    }
    const QJsonObject object = document.object();
    int bad = 0;
    for (auto it = object.begin(); it != object.end(); ++it) {
        UGUID guid;
        const QString path = QDir::cleanPath(it.value().toString());
        if (!guid.setString(it.key().toUtf8().constData()) || guid.isEmpty() || path.isEmpty()
            || !it.value().isString()) {
            bad++;
            continue;
        }
        entries++;
        by_path.emplace(path.toStdString(), guid);
    }
    if (bad)
        Log::warning("FileSystem: %d entries of guids.db are broken and ignored\n", bad);
    return by_path;
}

struct Index
{
    std::shared_ptr<MetaScan> scan;
    std::thread release_thread;
    FileTable files;
    GuidMap by_guid;
    std::unordered_map<UGUID, UGUID, GuidHash> owners;
    int guids_db_entries = 0;
};

// Path GUID that no other file uses yet.
UGUID freePathGUID(const GuidMap &by_guid, const std::unordered_map<UGUID, UGUID> &virtual_files,
                   const std::string &relative)
{
    const UGUID first = UGUID::fromPath(relative.c_str());
    UGUID guid = first;
    for (int i = 1; by_guid.count(guid) || virtual_files.count(guid); i++)
        guid = UGUID::derive(first, std::to_string(i).c_str());
    return guid;
}

// Reads the data folder without holding the file system's lock.
// notify: tell MetaScan's read listeners of the read (init only).
Index buildIndex(const QString &data_path, bool read_guids_db, const std::unordered_map<UGUID, UGUID> &virtual_files,
                 bool notify)
{
    Index index;
    if (!QFileInfo(data_path).isDir()) {
        Log::warning("FileSystem: the data folder \"%s\" does not exist\n", data_path.toUtf8().constData());
        return index;
    }
    std::map<std::string, UGUID> db;
    if (read_guids_db)
        db = readGuidsDb(data_path, index.guids_db_entries);

    index.scan = MetaScan::read(data_path.toStdString());
    // The table by path is built from the listing (sorted by bytes, as the
    // table is) on a thread of its own from here on, while the GUIDs are
    // claimed in path order on this one; the records in the table get
    // their GUIDs once both are done. It reads the meta files' paths only
    // to pass them by; once it is past them, they may go.
    std::vector<FileTable::iterator> table_entries;
    std::promise<void> listed;
    std::thread table([&index, &table_entries, &listed] {
        const std::vector<uint32_t> &records = index.scan->file_records;
        index.files.fillSorted(
                index.scan->files, [&records](size_t i) { return records[i] != MetaScan::META_FILE; }, table_entries);
        listed.set_value();
    });
    if (notify) {
        // Held while the GUIDs are claimed, so that a listener that has
        // made what it needs of the records cannot drop them before.
        index.scan->holdRecords();
        MetaScan::notifyRead(index.scan);
    }
    MetaScan &scan = *index.scan;
    // The files (meta files aside), in path order, each with its record:
    // the listing found both, so no path is read here.
    std::vector<const std::string *> paths;
    std::vector<const MetaRecord *> path_records;
    paths.reserve(scan.files.size() - scan.metas.size());
    path_records.reserve(scan.files.size() - scan.metas.size());
    for (size_t f = 0; f < scan.files.size(); ++f) {
        const uint32_t record = scan.file_records[f];
        if (record == MetaScan::META_FILE)
            continue;
        paths.push_back(&scan.files[f]);
        path_records.push_back(record == MetaScan::NO_RECORD ? nullptr : &scan.metas[record]);
    }

    // What each file's meta file says is taken from the records in runs of
    // files on other threads (for a large project), while this thread
    // claims the GUIDs of each run in path order as soon as it is made.
    // The lines logged for a file (few files have any) are held and written
    // before its claim, in the order one pass would write them. The owners
    // that stored runtimes' side metas name are few: they are held apart,
    // by file, in path order.
    struct Facts
    {
        UGUID guid;
        bool readable = false;
        bool is_asset = false;
        bool runtime = false; // below .runtimes/
    };
    constexpr size_t CHUNK = 256;
    constexpr size_t PARALLEL_FROM = 4096;
    const size_t chunks = paths.size() / CHUNK + 1;
    std::vector<Facts> infos(paths.size());
    // The extension of each file, for the table's searches by extension.
    std::vector<uint32_t> extension_keys(paths.size());
    std::vector<std::vector<std::pair<size_t, UGUID>>> chunk_owners(chunks);
    std::vector<std::vector<std::pair<size_t, LogHold::Lines>>> chunk_lines(chunks);
    std::unique_ptr<std::atomic<char>[]> made(new std::atomic<char>[chunks]);
    for (size_t c = 0; c < chunks; ++c)
        made[c].store(0, std::memory_order_relaxed);
    std::mutex made_lock;
    std::condition_variable made_changed;
    std::atomic<size_t> next_chunk{0};
    const unsigned cores = std::thread::hardware_concurrency();
    const size_t makers = paths.size() < PARALLEL_FROM ? 0 : std::max(1u, std::min(8u, cores == 0 ? 2u : cores) - 1);
    // The makers still at work, and this thread until it has started them.
    std::atomic<size_t> making{makers + 1};
    // The listing is not needed once the index is built, nor the records
    // once every listener has made what it needs of them (this may be the
    // last hold). Dropping a large project's takes a while: not on this
    // thread, which has more to do.
    std::promise<void> facts_made;
    std::promise<void> built;
    auto release_records = [notify](MetaScan &read) {
        if (notify)
            read.releaseRecords(false);
    };
    auto release_files = [](MetaScan &read) {
        std::vector<std::string>().swap(read.files);
        std::vector<uint32_t>().swap(read.file_records);
    };
    bool releasing = false;
    if (notify) {
        // The listing's paths are a part of the read's memory that this
        // thread lets go last.
        index.scan->shareRelease();
        try {
            index.release_thread
                    = std::thread([release_records, release_files, read = index.scan, facts = facts_made.get_future(),
                                   passed = listed.get_future(), done = built.get_future()]() mutable {
                          facts.wait();
                          release_records(*read);
                          // The meta files' own paths are not indexed: they go as
                          // soon as the table is past them, the others once the index
                          // is built.
                          passed.wait();
                          for (size_t f = 0; f < read->files.size(); ++f)
                              if (read->file_records[f] == MetaScan::META_FILE)
                                  std::string().swap(read->files[f]);
                          done.wait();
                          release_files(*read);
                          read->partReleased();
                      });
            releasing = true;
        } catch (const std::system_error &) {
            index.scan->partReleased(); // the paths go with the scan
        }
    }
    // n makers are done: the last one lets the records go.
    auto leave = [&](size_t n) {
        bool last = false;
        {
            std::lock_guard<std::mutex> locker(made_lock);
            last = making.fetch_sub(n) == n;
        }
        if (last && releasing)
            facts_made.set_value();
    };
    auto make_facts = [&] {
        LogHold::Lines lines;
        for (size_t begin = next_chunk.fetch_add(CHUNK); begin < paths.size(); begin = next_chunk.fetch_add(CHUNK)) {
            const size_t chunk = begin / CHUNK;
            for (size_t i = begin; i < std::min(paths.size(), begin + CHUNK); ++i) {
                extension_keys[i] = extensionKey(*paths[i]);
                infos[i].runtime = isRuntimePath(*paths[i]);
                if (!path_records[i])
                    continue;
                {
                    LogHold hold(&lines);
                    const MetaInfo info = metaInfo(*path_records[i]);
                    infos[i].guid = info.guid;
                    infos[i].readable = info.readable;
                    infos[i].is_asset = info.is_asset;
                    if (!info.owner.isEmpty())
                        chunk_owners[chunk].emplace_back(i, info.owner);
                }
                if (!lines.empty())
                    chunk_lines[chunk].emplace_back(i, std::move(lines));
                lines.clear();
            }
            {
                std::lock_guard<std::mutex> locker(made_lock);
                made[chunk].store(1, std::memory_order_release);
            }
            made_changed.notify_one();
        }
    };
    std::vector<std::thread> pool;
    try {
        for (size_t t = 0; t < makers; ++t)
            pool.emplace_back([&] {
                make_facts();
                leave(1);
            });
    } catch (const std::system_error &) {}
    // Made here when the project is small or no thread could be started.
    if (pool.empty())
        make_facts();
    leave(makers - pool.size() + 1);

    // Where each file's entry goes once the table is built (each file adds
    // at most one GUID, so the reserved map does not move its positions).
    std::vector<FileTable::iterator *> guid_entries(paths.size());
    index.by_guid.reserve(paths.size());
    size_t next_lines = 0; // in the run's held lines and owners
    size_t next_owner = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const size_t chunk = i / CHUNK;
        if (i % CHUNK == 0) {
            next_lines = next_owner = 0;
            if (!made[chunk].load(std::memory_order_acquire)) {
                std::unique_lock<std::mutex> locker(made_lock);
                made_changed.wait(locker, [&] { return made[chunk].load(std::memory_order_acquire) != 0; });
            }
        }
        // The claims go to places all over the map: later ones of the run
        // are asked for ahead.
        constexpr size_t AHEAD = 16;
        if (i % CHUNK + AHEAD < CHUNK && i + AHEAD < paths.size() && infos[i + AHEAD].readable)
            index.by_guid.prefetch(infos[i + AHEAD].guid);
        const std::string &relative = *paths[i];
        Record record;
        UGUID owner;
        if (next_lines < chunk_lines[chunk].size() && chunk_lines[chunk][next_lines].first == i)
            LogHold::release(chunk_lines[chunk][next_lines++].second);
        Facts &meta = infos[i];
        const bool runtime = meta.runtime;
        UGUID candidate;
        auto db_entry = db.find(relative);
        if (db_entry != db.end()) {
            candidate = db_entry->second;
            record.asset = !runtime;
        } else if (meta.readable) {
            candidate = meta.guid;
            record.asset = meta.is_asset && !runtime;
        }
        if (next_owner < chunk_owners[chunk].size() && chunk_owners[chunk][next_owner].first == i)
            owner = chunk_owners[chunk][next_owner++].second;
        // One lookup both checks and claims the GUID.
        bool taken = false;
        if (candidate.isValid()) {
            taken = virtual_files.count(candidate) > 0;
            if (!taken) {
                const auto claim = index.by_guid.try_emplace(candidate);
                taken = !claim.second;
                guid_entries[i] = &claim.first->second;
            }
        }
        if (taken) {
            Log::warning("FileSystem: \"%s\" claims the GUID %s, which is already taken; it gets its path GUID\n",
                         relative.c_str(), candidate.getString().get());
            candidate.clear();
            record.asset = false;
        }
        if (candidate.isEmpty()) {
            candidate = freePathGUID(index.by_guid, virtual_files, relative);
            guid_entries[i] = &index.by_guid.emplace(candidate, FileTable::iterator()).first->second;
        }
        record.guid = candidate;
        // What the meta file says is not read again: the file's record
        // takes its place until the table is built.
        meta.guid = record.guid;
        meta.is_asset = record.asset;
        if (!owner.isEmpty())
            index.owners.emplace(candidate, owner);
    }
    for (std::thread &thread : pool)
        thread.join();
    std::vector<const MetaRecord *>().swap(path_records);
    if (!releasing)
        release_records(scan);
    table.join();
    for (size_t i = 0; i < paths.size(); ++i) {
        // Nodes and positions all over memory: later ones are asked for ahead.
        constexpr size_t AHEAD = 16;
        if (i + AHEAD < paths.size()) {
            __builtin_prefetch(&*table_entries[i + AHEAD]);
            __builtin_prefetch(guid_entries[i + AHEAD]);
        }
        Record &record = table_entries[i]->second;
        record.guid = infos[i].guid;
        record.asset = infos[i].is_asset;
        *guid_entries[i] = table_entries[i];
    }
    index.files.keepOrder(std::move(table_entries), std::move(extension_keys));
    if (releasing)
        built.set_value();
    else
        release_files(scan);
    return index;
}

// Lookup of an indexed file by any path form; null when unknown. Caller holds the lock.
const std::pair<const std::string, Record> *findFile(const FsState &s, const char *path)
{
    if (startsWithGuidPrefix(path)) {
        const UGUID guid = guidOfGuidPath(path);
        auto it = s.by_guid.find(guid);
        if (guid.isEmpty() || it == s.by_guid.end())
            return nullptr;
        return &*it->second;
    }
    if (path && *path && isCleanRelativePath(path) && !s.data_path.isEmpty()) {
        auto file = s.files.find(std::string_view(path));
        return file == s.files.end() ? nullptr : &*file;
    }
    const std::string relative = toRelative(s, path);
    if (relative.empty())
        return nullptr;
    auto file = s.files.find(relative);
    return file == s.files.end() ? nullptr : &*file;
}

bool checkInitialized(const FsState &s, const char *caller, DeferredLog &log)
{
    if (s.initialized)
        return true;
    log.error("FileSystem::%s(): the file system is not initialized\n", caller);
    return false;
}

} // namespace

bool FileSystem::init(const char *data_path, bool read_guids_db)
{
    if (!data_path || !*data_path) {
        // Never fall back to the working folder or "/": an empty index instead.
        Log::warning("FileSystem::init(): no data folder given\n");
        FsState &s = state();
        std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        s.initialized = true;
        s.read_guids_db = read_guids_db;
        s.data_path.clear();
        s.files.clear();
        s.by_guid.clear();
        s.owners.clear();
        s.virtual_files.clear();
        s.guids_db_entries = 0;
        return false;
    }
    QString path = QDir::cleanPath(QFileInfo(QString::fromUtf8(data_path ? data_path : "")).absoluteFilePath());
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    joinReleaseThread(state());
    Index index = buildIndex(path, read_guids_db, {}, true);
    FsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    s.release_thread = std::move(index.release_thread);
    s.initialized = true;
    s.read_guids_db = read_guids_db;
    s.data_path = path;
    s.virtual_files.clear();
    s.files = std::move(index.files);
    s.by_guid = std::move(index.by_guid);
    s.owners = std::move(index.owners);
    s.guids_db_entries = index.guids_db_entries;
    s.scan = std::move(index.scan);
    return QFileInfo(path).isDir();
}

void FileSystem::shutdown()
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    s.initialized = false;
    s.data_path.clear();
    s.files.clear();
    s.by_guid.clear();
    s.owners.clear();
    s.virtual_files.clear();
    s.guids_db_entries = 0;
    s.scan.reset();
    joinReleaseThread(s);
}

bool FileSystem::isInitialized()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.initialized;
}

bool FileSystem::rescan()
{
    QString path;
    bool read_guids_db = true;
    std::unordered_map<UGUID, UGUID> virtual_files;
    {
        FsState &s = state();
        DeferredLog log;
        std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!checkInitialized(s, "rescan", log))
            return false;
        path = s.data_path;
        read_guids_db = s.read_guids_db;
        virtual_files = s.virtual_files;
    }
    if (path.isEmpty())
        return false;
    Index index = buildIndex(path, read_guids_db, virtual_files, false);
    FsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || s.data_path != path)
        return false; // shut down or restarted meanwhile
    s.files = std::move(index.files);
    s.by_guid = std::move(index.by_guid);
    s.owners = std::move(index.owners);
    s.guids_db_entries = index.guids_db_entries;
    s.scan.reset();
    return QFileInfo(path).isDir();
}

String FileSystem::getDataPath()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return String(s.data_path.toStdString());
}

UGUID FileSystem::getGUID(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getGUID", log))
        return UGUID();
    if (startsWithGuidPrefix(path)) {
        const UGUID guid = guidOfGuidPath(path);
        if (s.virtual_files.count(guid))
            return guid;
    }
    const auto *file = findFile(s, path);
    return file ? file->second.guid : UGUID();
}

bool FileSystem::isFileExist(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "isFileExist", log))
        return false;
    return guid.isValid() && s.by_guid.count(guid) > 0;
}

bool FileSystem::isFileExist(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "isFileExist", log))
        return false;
    return findFile(s, path) != nullptr;
}

String FileSystem::getAbsolutePath(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getAbsolutePath", log))
        return String();
    auto it = s.by_guid.find(guid);
    if (guid.isEmpty() || it == s.by_guid.end())
        return String();
    return String(s.data_path.toStdString() + it->second->first);
}

String FileSystem::getAbsolutePath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getAbsolutePath", log))
        return String();
    const auto *file = findFile(s, path);
    return file ? String(s.data_path.toStdString() + file->first) : String();
}

String FileSystem::getVirtualPath(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getVirtualPath", log) || guid.isEmpty())
        return String();
    auto it = s.by_guid.find(guid);
    if (it != s.by_guid.end())
        return String(it->second->first);
    if (s.virtual_files.count(guid))
        return guid.getFileSystemString();
    return String();
}

String FileSystem::getVirtualPath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getVirtualPath", log))
        return String();
    if (startsWithGuidPrefix(path)) {
        const auto *file = findFile(s, path);
        return file ? String(file->first) : String();
    }
    return String(toRelative(s, path));
}

bool FileSystem::isGUIDPath(const char *path)
{
    return startsWithGuidPrefix(path) && UGUID::isGUIDText(path);
}

bool FileSystem::isVirtualFile(const char *name)
{
    UGUID guid;
    if (!name || !guid.setString(name))
        return false;
    return isVirtualFile(guid);
}

bool FileSystem::isVirtualFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.initialized && guid.isValid() && s.virtual_files.count(guid) > 0;
}

bool FileSystem::isPackageFile(const UGUID &)
{
    return false;
}

String FileSystem::resolvePartialVirtualPath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    const String unchanged(path ? path : "");
    if (!checkInitialized(s, "resolvePartialVirtualPath", log) || !path || !*path || startsWithGuidPrefix(path))
        return unchanged;
    std::string suffix
            = QDir::cleanPath(QString::fromUtf8(path).replace(QLatin1Char('\\'), QLatin1Char('/'))).toStdString();
    while (!suffix.empty() && suffix[0] == '/')
        suffix.erase(0, 1);
    if (suffix.empty() || suffix == ".")
        return unchanged;
    if (s.files.count(suffix))
        return String(suffix);
    const std::string tail = "/" + suffix;
    const std::string *match = nullptr;
    for (const auto &file : s.files) {
        const std::string &candidate = file.first;
        if (candidate.size() > tail.size()
            && candidate.compare(candidate.size() - tail.size(), tail.size(), tail) == 0) {
            if (match)
                return unchanged; // ambiguous
            match = &candidate;
        }
    }
    return match ? String(*match) : unchanged;
}

Vector<String> FileSystem::getFiles()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    Vector<String> result;
    result.reserve(int(s.files.size()));
    for (const auto &file : s.files)
        result.append(String(file.first));
    return result;
}

namespace engine_internal {

std::vector<String> filesWithExtension(const char *extension)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    std::vector<String> result;
    s.files.forEachWithExtension(extension, [&result](const std::string &path) { result.emplace_back(path); });
    return result;
}

void registerVirtualFiles(const std::vector<std::pair<UGUID, UGUID>> &files)
{
    FsState &s = state();
    std::vector<UGUID> refused;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!s.initialized) {
            locker.unlock();
            for (const auto &file : files)
                FileSystem::registerVirtualFile(file.first, file.second);
            return;
        }
        s.virtual_files.reserve(s.virtual_files.size() + files.size());
        for (const auto &file : files) {
            if (file.first.isEmpty() || s.by_guid.count(file.first))
                refused.push_back(file.first);
            else
                s.virtual_files[file.first] = file.second;
        }
    }
    for (const UGUID &guid : refused)
        Log::warning("FileSystem::registerVirtualFile(): the GUID %s is empty or names a file\n",
                     guid.getString().get());
}

} // namespace engine_internal

int FileSystem::getNumFiles()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return int(s.files.size());
}

int FileSystem::getNumGUIDsDbEntries()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.guids_db_entries;
}

bool FileSystem::addFile(const char *path, const UGUID &guid)
{
    FsState &s = state();
    std::string relative;
    QString data_path;
    {
        DeferredLog log;
        std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!checkInitialized(s, "addFile", log))
            return false;
        relative = toRelative(s, path);
        data_path = s.data_path;
    }
    if (relative.empty() || isMetaPath(relative)) {
        Log::warning("FileSystem::addFile(): \"%s\" is not a file of the data folder\n", path ? path : "");
        return false;
    }
    const bool runtime = isRuntimePath(relative);
    Record record;
    UGUID owner;
    UGUID chosen = guid;
    const QString meta_path = data_path + QString::fromStdString(relative) + QLatin1String(".meta");
    if (QFileInfo(meta_path).isFile()) {
        const MetaInfo meta = readMeta(meta_path, relative);
        if (meta.readable) {
            if (chosen.isEmpty())
                chosen = meta.guid;
            record.asset = meta.is_asset && !runtime && chosen == meta.guid;
            if (!meta.is_asset)
                owner = meta.owner;
        }
    }

    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || s.data_path != data_path)
        return false;
    auto used = chosen.isValid() ? s.by_guid.find(chosen) : s.by_guid.end();
    if ((used != s.by_guid.end() && used->second->first != relative)
        || (chosen.isValid() && s.virtual_files.count(chosen))) {
        log.warning("FileSystem::addFile(): the GUID %s of \"%s\" is already used\n", chosen.getString().get(),
                    relative.c_str());
        return false;
    }
    auto old = s.files.find(relative);
    if (old != s.files.end()) {
        s.by_guid.erase(old->second.guid);
        s.owners.erase(old->second.guid);
        s.files.erase(old);
    }
    if (chosen.isEmpty())
        chosen = freePathGUID(s.by_guid, s.virtual_files, relative);
    record.guid = chosen;
    const FileTable::iterator entry = s.files.insert(relative);
    entry->second = record;
    s.by_guid[chosen] = entry;
    if (!owner.isEmpty())
        s.owners[chosen] = owner;
    s.scan.reset();
    return true;
}

bool FileSystem::removeFile(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "removeFile", log))
        return false;
    const auto *file = findFile(s, path);
    if (!file)
        return false;
    const std::string relative = file->first;
    s.by_guid.erase(file->second.guid);
    s.owners.erase(file->second.guid);
    s.files.erase(relative);
    s.scan.reset();
    return true;
}

bool FileSystem::removeFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "removeFile", log))
        return false;
    auto it = s.by_guid.find(guid);
    if (guid.isEmpty() || it == s.by_guid.end())
        return false;
    s.files.erase(it->second);
    s.by_guid.erase(it);
    s.owners.erase(guid);
    s.scan.reset();
    return true;
}

bool FileSystem::moveFile(const char *from, const char *to)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "moveFile", log))
        return false;
    const auto *file = findFile(s, from);
    const std::string target = toRelative(s, to);
    if (!file || target.empty() || isMetaPath(target))
        return false;
    const std::string source = file->first;
    if (source == target)
        return true;
    if (s.files.count(target)) {
        log.warning("FileSystem::moveFile(): \"%s\" is already indexed\n", target.c_str());
        return false;
    }
    Record record = file->second;
    if (isRuntimePath(target))
        record.asset = false;
    s.files.erase(source);
    const FileTable::iterator entry = s.files.insert(target);
    entry->second = record;
    s.by_guid[record.guid] = entry;
    s.scan.reset();
    return true;
}

bool FileSystem::registerVirtualFile(const UGUID &guid, const UGUID &owner)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "registerVirtualFile", log))
        return false;
    if (guid.isEmpty() || s.by_guid.count(guid)) {
        log.warning("FileSystem::registerVirtualFile(): the GUID %s is empty or names a file\n",
                    guid.getString().get());
        return false;
    }
    s.virtual_files[guid] = owner;
    return true;
}

bool FileSystem::unregisterVirtualFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.virtual_files.erase(guid) > 0;
}

UGUID FileSystem::getVirtualFileOwner(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    auto it = s.virtual_files.find(guid);
    return it == s.virtual_files.end() ? UGUID() : it->second;
}

std::shared_ptr<MetaScan> MetaScan::takeFromFileSystem(const char *data_path)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || !s.scan || !data_path || !*data_path)
        return nullptr;
    QString path = QDir::cleanPath(QString::fromUtf8(data_path));
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (path != s.data_path)
        return nullptr;
    return std::move(s.scan);
}

bool FileSystemAssets::isAsset(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || guid.isEmpty())
        return false;
    auto it = s.by_guid.find(guid);
    if (it == s.by_guid.end())
        return false;
    return it->second->second.asset;
}

UGUID FileSystemAssets::getAssetGUID(const UGUID &guid)
{
    return isAsset(guid) ? guid : UGUID();
}

UGUID FileSystemAssets::getRuntimeOwner(const UGUID &runtime_guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (runtime_guid.isEmpty() || !s.by_guid.count(runtime_guid))
        return UGUID();
    auto it = s.owners.find(runtime_guid);
    return it == s.owners.end() ? UGUID() : it->second;
}

} // namespace Velmora
