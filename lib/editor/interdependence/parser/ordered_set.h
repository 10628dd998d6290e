#pragma once

#include "editor/interdependence/item_arena.h"

#include <velmora/UGUID.h>

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace inas {
namespace parser {

namespace ordered_set {

// Whether two values of a set are the same. GUIDs, the values of nearly
// every set, are compared here inline, byte for byte, as their own
// (out-of-line) operator compares them.
template<typename T>
bool same(const T &a, const T &b)
{
    return a == b;
}

inline bool same(const Velmora::UGUID &a, const Velmora::UGUID &b)
{
    static_assert(sizeof(Velmora::UGUID) == Velmora::UGUID::NUM_WORDS * sizeof(uint32_t)
                          && std::is_trivially_copyable<Velmora::UGUID>::value,
                  "a GUID is its words");
    return std::memcmp(&a, &b, sizeof(Velmora::UGUID)) == 0;
}

} // namespace ordered_set

// A set that iterates in insertion order: an array for the order, and, once
// the set holds more than a handful of values, an open-addressing table of
// positions in it for membership (most sets of an analysis hold a few
// values, for which a scan is cheaper than any index; the table is one
// allocation however many values there are). Result rows built from it
// therefore come out in the order in which the parsers met the references,
// run after run. The Tag parameter only makes sets of different meaning
// distinct types, so that one cannot be passed where the other is expected.
//
// Memory comes from the calling thread's current ItemArena when it has one
// (the parser's threads, whose sets live in items that keep the arena
// alive), else from the heap; each set knows which, so that dropping a set
// frees nothing that lies in an arena. A set moved keeps its memory; a set
// copied or grown takes new memory where the copying thread takes it.
template<typename T, typename Tag = void>
class OrderedSet
{
public:
    using const_iterator = const T *;

    OrderedSet()
        : capacity_(0)
        , values_in_arena_(0)
        , index_in_arena_(0)
    {}
    OrderedSet(const OrderedSet &other)
        : OrderedSet()
    {
        copyFrom(other);
    }
    OrderedSet(OrderedSet &&other) noexcept
        : OrderedSet()
    {
        take(other);
    }
    ~OrderedSet() { release(); }
    OrderedSet &operator=(const OrderedSet &other)
    {
        if (this != &other) {
            release();
            copyFrom(other);
        }
        return *this;
    }
    OrderedSet &operator=(OrderedSet &&other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }

    // True when the value was not there yet.
    bool insert(const T &value)
    {
        if (!index_) {
            if (find(value) != end())
                return false;
            append(value);
            if (size_ > SCAN_LIMIT)
                rebuildIndex();
            return true;
        }
        int32_t *const table = positions();
        const size_t mask = indexCapacity() - 1;
        size_t slot = firstSlot(value);
        for (; table[slot] >= 0; slot = (slot + 1) & mask) {
            if (ordered_set::same(values_[size_t(table[slot])], value))
                return false;
        }
        append(value);
        if (size_t(size_) * 2 > indexCapacity())
            rebuildIndex();
        else
            table[slot] = int32_t(size_ - 1);
        return true;
    }

    // True when the value was there.
    bool remove(const T &value)
    {
        T *const it = const_cast<T *>(find(value));
        if (it == values_ + size_)
            return false;
        std::move(it + 1, values_ + size_, it);
        --size_;
        values_[size_].~T();
        // The positions after it have moved.
        if (index_)
            rebuildIndex();
        return true;
    }

    bool contains(const T &value) const
    {
        if (!index_)
            return find(value) != end();
        const int32_t *const table = positions();
        const size_t mask = indexCapacity() - 1;
        for (size_t slot = firstSlot(value); table[slot] >= 0; slot = (slot + 1) & mask) {
            if (ordered_set::same(values_[size_t(table[slot])], value))
                return true;
        }
        return false;
    }
    int size() const { return int(size_); }
    bool empty() const { return size_ == 0; }
    void clear()
    {
        destroyValues();
        dropIndex();
    }

    const_iterator begin() const { return values_; }
    const_iterator end() const { return values_ + size_; }
    // A copy of the values in insertion order.
    std::vector<T> values() const { return std::vector<T>(begin(), end()); }

private:
    // The value's place in the array, or end(): a scan.
    const T *find(const T &value) const
    {
        for (const T *it = values_; it != values_ + size_; ++it) {
            if (ordered_set::same(*it, value))
                return it;
        }
        return values_ + size_;
    }

    // Up to this many values membership is a scan.
    static constexpr uint32_t SCAN_LIMIT = 16;

    // Memory for bytes from the calling thread's arena, or the heap;
    // in_arena says which.
    static void *obtain(size_t bytes, size_t alignment, bool &in_arena)
    {
        if (ItemArena *const arena = ItemArena::current()) {
            in_arena = true;
            return arena->allocate(bytes, alignment);
        }
        in_arena = false;
        return ::operator new(bytes);
    }
    static void giveBack(void *memory, bool in_arena)
    {
        if (!in_arena)
            ::operator delete(memory);
    }

    size_t indexCapacity() const { return size_t(index_[0]); }
    int32_t *positions() const { return index_ + 1; }
    size_t firstSlot(const T &value) const
    {
        // Fibonacci hashing spreads the hash over the table.
        return size_t((uint64_t(qHash(value)) * 0x9E3779B97F4A7C15ull) >> 32) & (indexCapacity() - 1);
    }

    void append(const T &value)
    {
        if (size_ == capacity_)
            grow(capacity_ ? capacity_ * 2 : 4);
        new (values_ + size_) T(value);
        ++size_;
    }
    void grow(uint32_t capacity)
    {
        // The latest allocation of this thread's arena grows where it is: a
        // set filled while its file is read is usually that.
        if (values_in_arena_ && ItemArena::current()
            && ItemArena::current()->extend(values_, capacity_ * sizeof(T), capacity * sizeof(T))) {
            capacity_ = capacity;
            return;
        }
        bool in_arena = false;
        T *const values = static_cast<T *>(obtain(capacity * sizeof(T), alignof(T), in_arena));
        for (uint32_t i = 0; i < size_; ++i) {
            new (values + i) T(std::move(values_[i]));
            values_[i].~T();
        }
        if (values_)
            giveBack(values_, values_in_arena_);
        values_ = values;
        capacity_ = capacity;
        values_in_arena_ = in_arena;
    }
    void destroyValues()
    {
        for (uint32_t i = 0; i < size_; ++i)
            values_[i].~T();
        size_ = 0;
    }
    void dropIndex()
    {
        if (index_)
            giveBack(index_, index_in_arena_);
        index_ = nullptr;
        index_in_arena_ = false;
    }
    void release()
    {
        destroyValues();
        if (values_)
            giveBack(values_, values_in_arena_);
        values_ = nullptr;
        capacity_ = 0;
        values_in_arena_ = false;
        dropIndex();
    }
    void copyFrom(const OrderedSet &other)
    {
        if (other.size_ == 0)
            return;
        bool in_arena = false;
        values_ = static_cast<T *>(obtain(other.size_ * sizeof(T), alignof(T), in_arena));
        values_in_arena_ = in_arena;
        capacity_ = other.size_;
        for (; size_ < other.size_; ++size_)
            new (values_ + size_) T(other.values_[size_]);
        if (other.index_)
            rebuildIndex();
    }
    void take(OrderedSet &other)
    {
        values_ = std::exchange(other.values_, nullptr);
        index_ = std::exchange(other.index_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = other.capacity_;
        values_in_arena_ = other.values_in_arena_;
        index_in_arena_ = other.index_in_arena_;
        other.capacity_ = 0;
        other.values_in_arena_ = false;
        other.index_in_arena_ = false;
    }
    void rebuildIndex()
    {
        dropIndex();
        if (size_ <= SCAN_LIMIT)
            return;
        size_t capacity = 64;
        while (capacity < size_t(size_) * 4)
            capacity *= 2;
        bool in_arena = false;
        index_ = static_cast<int32_t *>(obtain((capacity + 1) * sizeof(int32_t), alignof(int32_t), in_arena));
        index_in_arena_ = in_arena;
        index_[0] = int32_t(capacity);
        int32_t *const table = positions();
        std::fill(table, table + capacity, -1);
        for (uint32_t i = 0; i < size_; ++i) {
            size_t slot = firstSlot(values_[i]);
            while (table[slot] >= 0)
                slot = (slot + 1) & (capacity - 1);
            table[slot] = int32_t(i);
        }
    }

    T *values_ = nullptr;
    // Null while values_ is scanned; else a power-of-two table of positions
    // in values_ (-1: free), at most half full, after one element that holds
    // the table's size (a set is 24 bytes: items hold several, and a large
    // analysis has hundreds of thousands of items).
    int32_t *index_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ : 30;
    // Whether values_ and index_ lie in an arena (never freed one by one).
    uint32_t values_in_arena_ : 1;
    uint32_t index_in_arena_ : 1;
};

} // namespace parser
} // namespace inas
