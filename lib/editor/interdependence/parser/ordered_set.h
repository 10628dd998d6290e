#pragma once

#include <QSet>

#include <algorithm>
#include <vector>

namespace inas {
namespace parser {

// A set that iterates in insertion order: a vector for the order, and, once
// the set holds more than a handful of values, a hash set for membership
// (most sets of an analysis hold a few values, for which a scan is cheaper
// than a hash set's allocations). Result rows built from it therefore come
// out in the order in which the parsers met the references, run after run.
// The Tag parameter only makes sets of different meaning distinct types, so
// that one cannot be passed where the other is expected.
template<typename T, typename Tag = void>
class OrderedSet
{
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    // True when the value was not there yet.
    bool insert(const T &value)
    {
        if (contains(value))
            return false;
        values_.push_back(value);
        if (!index_.isEmpty())
            index_.insert(value);
        else if (values_.size() > SCAN_LIMIT)
            index_ = QSet<T>(values_.begin(), values_.end());
        return true;
    }

    // True when the value was there.
    bool remove(const T &value)
    {
        const auto it = std::find(values_.begin(), values_.end(), value);
        if (it == values_.end())
            return false;
        values_.erase(it);
        index_.remove(value);
        return true;
    }

    bool contains(const T &value) const
    {
        if (!index_.isEmpty())
            return index_.contains(value);
        return std::find(values_.begin(), values_.end(), value) != values_.end();
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

    std::vector<T> values_;
    // Empty while values_ is scanned; else every value.
    QSet<T> index_;
};

} // namespace parser
} // namespace inas
