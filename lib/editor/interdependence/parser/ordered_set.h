#pragma once

#include <QSet>

#include <algorithm>
#include <vector>

namespace inas {
namespace parser {

// A set that iterates in insertion order: a vector for the order and a hash
// set for membership. Result rows built from it therefore come out in the
// order in which the parsers met the references, run after run. The Tag
// parameter only makes sets of different meaning distinct types, so that
// one cannot be passed where the other is expected.
template<typename T, typename Tag = void>
class OrderedSet
{
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    // True when the value was not there yet.
    bool insert(const T &value)
    {
        if (index_.contains(value))
            return false;
        index_.insert(value);
        values_.push_back(value);
        return true;
    }

    // True when the value was there.
    bool remove(const T &value)
    {
        if (!index_.remove(value))
            return false;
        values_.erase(std::find(values_.begin(), values_.end(), value));
        return true;
    }

    bool contains(const T &value) const { return index_.contains(value); }
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
    std::vector<T> values_;
    QSet<T> index_;
};

} // namespace parser
} // namespace inas
