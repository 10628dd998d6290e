#pragma once

#include <QHash>

#include <algorithm>
#include <cstdint>
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

    // True when the value was not there yet.
    bool insert(const T &value)
    {
        if (index_.empty()) {
            if (std::find(values_.begin(), values_.end(), value) != values_.end())
                return false;
            values_.push_back(value);
            if (values_.size() > SCAN_LIMIT)
                rebuildIndex();
            return true;
        }
        size_t slot = firstSlot(value);
        for (; index_[slot] >= 0; slot = (slot + 1) & (index_.size() - 1)) {
            if (values_[size_t(index_[slot])] == value)
                return false;
        }
        values_.push_back(value);
        if (values_.size() * 2 > index_.size())
            rebuildIndex();
        else
            index_[slot] = int32_t(values_.size() - 1);
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
        if (!index_.empty())
            rebuildIndex();
        return true;
    }

    bool contains(const T &value) const
    {
        if (index_.empty())
            return std::find(values_.begin(), values_.end(), value) != values_.end();
        for (size_t slot = firstSlot(value); index_[slot] >= 0; slot = (slot + 1) & (index_.size() - 1)) {
            if (values_[size_t(index_[slot])] == value)
                return true;
        }
        return false;
    }
    int size() const { return int(values_.size()); }
    bool empty() const { return values_.empty(); }
    void clear()
    {
        values_.clear();
        index_.clear();
    }

    const_iterator begin() const { return values_.begin(); }
    const_iterator end() const { return values_.end(); }
    // The values in insertion order.
    const std::vector<T> &values() const { return values_; }

private:
    // Up to this many values membership is a scan.
    static constexpr size_t SCAN_LIMIT = 16;

    size_t firstSlot(const T &value) const
    {
        // Fibonacci hashing spreads the hash over the table.
        return size_t((uint64_t(qHash(value)) * 0x9E3779B97F4A7C15ull) >> 32) & (index_.size() - 1);
    }
    void rebuildIndex()
    {
        if (values_.size() <= SCAN_LIMIT) {
            index_.clear();
            index_.shrink_to_fit();
            return;
        }
        size_t capacity = 64;
        while (capacity < values_.size() * 4)
            capacity *= 2;
        index_.assign(capacity, -1);
        for (size_t i = 0; i < values_.size(); ++i) {
            size_t slot = firstSlot(values_[i]);
            while (index_[slot] >= 0)
                slot = (slot + 1) & (capacity - 1);
            index_[slot] = int32_t(i);
        }
    }

    std::vector<T> values_;
    // Empty while values_ is scanned; else a power-of-two table of positions
    // in values_ (-1: free), at most half full.
    std::vector<int32_t> index_;
};

} // namespace parser
} // namespace inas
