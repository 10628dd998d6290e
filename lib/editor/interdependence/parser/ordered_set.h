#pragma once

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace inas {
namespace parser {

// A set that iterates in insertion order: a vector for the order, and, once
// the set holds more than a handful of values, an open-addressing table of
// positions in it for membership (most sets of an analysis hold a few
// values, for which a scan is cheaper than any index; the table is one
// allocation however many values there are). Result rows built from it
// therefore come out in the order in which the parsers met the references,
// run after run. The Tag parameter only makes sets of different meaning
// distinct types, so that one cannot be passed where the other is expected.
template<typename T, typename Tag = void>
class OrderedSet
{
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    OrderedSet() = default;
    OrderedSet(const OrderedSet &other)
        : values_(other.values_)
    {
        if (other.index_)
            rebuildIndex();
    }
    OrderedSet(OrderedSet &&) noexcept = default;
    OrderedSet &operator=(const OrderedSet &other)
    {
        if (this != &other) {
            values_ = other.values_;
            index_.reset();
            if (other.index_)
                rebuildIndex();
        }
        return *this;
    }
    OrderedSet &operator=(OrderedSet &&) noexcept = default;

    // True when the value was not there yet.
    bool insert(const T &value)
    {
        if (!index_) {
            if (std::find(values_.begin(), values_.end(), value) != values_.end())
                return false;
            values_.push_back(value);
            if (values_.size() > SCAN_LIMIT)
                rebuildIndex();
            return true;
        }
        int32_t *const table = positions();
        const size_t mask = capacity() - 1;
        size_t slot = firstSlot(value);
        for (; table[slot] >= 0; slot = (slot + 1) & mask) {
            if (values_[size_t(table[slot])] == value)
                return false;
        }
        values_.push_back(value);
        if (values_.size() * 2 > capacity())
            rebuildIndex();
        else
            table[slot] = int32_t(values_.size() - 1);
        return true;
    }

    // True when the value was there.
    bool remove(const T &value)
    {
        const auto it = std::find(values_.begin(), values_.end(), value);
        if (it == values_.end())
            return false;
        values_.erase(it);
        // The positions after it have moved.
        if (index_)
            rebuildIndex();
        return true;
    }

    bool contains(const T &value) const
    {
        if (!index_)
            return std::find(values_.begin(), values_.end(), value) != values_.end();
        const int32_t *const table = positions();
        const size_t mask = capacity() - 1;
        for (size_t slot = firstSlot(value); table[slot] >= 0; slot = (slot + 1) & mask) {
            if (values_[size_t(table[slot])] == value)
                return true;
        }
        return false;
    }
    int size() const { return int(values_.size()); }
    bool empty() const { return values_.empty(); }
    void clear()
    {
        values_.clear();
        index_.reset();
    }

    const_iterator begin() const { return values_.begin(); }
    const_iterator end() const { return values_.end(); }
    // The values in insertion order.
    const std::vector<T> &values() const { return values_; }

private:
    // Up to this many values membership is a scan.
    static constexpr size_t SCAN_LIMIT = 16;

    size_t capacity() const { return size_t(index_[0]); }
    int32_t *positions() const { return index_.get() + 1; }
    size_t firstSlot(const T &value) const
    {
        // Fibonacci hashing spreads the hash over the table.
        return size_t((uint64_t(qHash(value)) * 0x9E3779B97F4A7C15ull) >> 32) & (capacity() - 1);
    }
    void rebuildIndex()
    {
        if (values_.size() <= SCAN_LIMIT) {
            index_.reset();
            return;
        }
        size_t capacity = 64;
        while (capacity < values_.size() * 4)
            capacity *= 2;
        index_.reset(new int32_t[capacity + 1]);
        index_[0] = int32_t(capacity);
        int32_t *const table = positions();
        std::fill(table, table + capacity, -1);
        for (size_t i = 0; i < values_.size(); ++i) {
            size_t slot = firstSlot(values_[i]);
            while (table[slot] >= 0)
                slot = (slot + 1) & (capacity - 1);
            table[slot] = int32_t(i);
        }
    }

    std::vector<T> values_;
    // Null while values_ is scanned; else a power-of-two table of positions
    // in values_ (-1: free), at most half full, after one element that holds
    // the table's size (a set is 32 bytes: items hold several, and a large
    // analysis has hundreds of thousands of items).
    std::unique_ptr<int32_t[]> index_;
};

} // namespace parser
} // namespace inas
