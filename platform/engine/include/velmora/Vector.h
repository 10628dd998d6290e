#pragma once

#include "velmora/Log.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace Velmora {

// The engine's dynamic array. Out-of-range access is a hard assertion.
template<typename T>
class Vector
{
public:
    using value_type = T;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    Vector() = default;
    Vector(std::initializer_list<T> values)
        : data_(values)
    {}
    explicit Vector(int size)
        : data_(size > 0 ? size_t(size) : 0)
    {}
    Vector(int size, const T &value)
        : data_(size > 0 ? size_t(size) : 0, value)
    {}

    int size() const { return int(data_.size()); }
    bool empty() const { return data_.empty(); }
    bool isEmpty() const { return data_.empty(); }

    T &operator[](int index)
    {
        VELMORA_ASSERT(index >= 0 && index < size());
        return data_[size_t(index)];
    }
    const T &operator[](int index) const
    {
        VELMORA_ASSERT(index >= 0 && index < size());
        return data_[size_t(index)];
    }
    T &get(int index) { return operator[](index); }
    const T &get(int index) const { return operator[](index); }
    T &first() { return operator[](0); }
    const T &first() const { return operator[](0); }
    T &last() { return operator[](size() - 1); }
    const T &last() const { return operator[](size() - 1); }

    void append(const T &value) { data_.push_back(value); }
    void append(T &&value) { data_.push_back(std::move(value)); }
    void append(const Vector &other) { data_.insert(data_.end(), other.data_.begin(), other.data_.end()); }
    void push_back(const T &value) { data_.push_back(value); }
    void insert(int index, const T &value)
    {
        VELMORA_ASSERT(index >= 0 && index <= size());
        data_.insert(data_.begin() + index, value);
    }
    void remove(int index)
    {
        VELMORA_ASSERT(index >= 0 && index < size());
        data_.erase(data_.begin() + index);
    }
    void removeLast()
    {
        VELMORA_ASSERT(!data_.empty());
        data_.pop_back();
    }
    void clear() { data_.clear(); }
    void resize(int size) { data_.resize(size > 0 ? size_t(size) : 0); }
    void reserve(int size) { data_.reserve(size > 0 ? size_t(size) : 0); }
    int findIndex(const T &value) const
    {
        auto it = std::find(data_.begin(), data_.end(), value);
        return it == data_.end() ? -1 : int(it - data_.begin());
    }
    bool contains(const T &value) const { return findIndex(value) != -1; }

    iterator begin() { return data_.begin(); }
    iterator end() { return data_.end(); }
    const_iterator begin() const { return data_.begin(); }
    const_iterator end() const { return data_.end(); }

    T *data() { return data_.data(); }
    const T *data() const { return data_.data(); }

    bool operator==(const Vector &other) const { return data_ == other.data_; }
    bool operator!=(const Vector &other) const { return data_ != other.data_; }

    const std::vector<T> &std() const { return data_; }

private:
    std::vector<T> data_;
};

} // namespace Velmora
