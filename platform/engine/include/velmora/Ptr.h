#pragma once

#include "velmora/Log.h"

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace Velmora {

namespace detail {
// Shared control block of a Ptr family. The object can be destroyed
// explicitly while handles still exist: every handle then reads as null.
struct PtrBlock
{
    std::atomic<int> refs{1};
    void *object = nullptr;
    void (*deleter)(void *) = nullptr;

    void destroyObject()
    {
        void *o = object;
        object = nullptr;
        if (o && deleter)
            deleter(o);
    }
    void release()
    {
        if (refs.fetch_sub(1) == 1) {
            destroyObject();
            delete this;
        }
    }
};
} // namespace detail

// Counted handle to an engine object.
template<typename T>
class Ptr
{
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    // Takes ownership of a new object.
    explicit Ptr(T *object)
    {
        if (object) {
            block_ = new detail::PtrBlock;
            block_->object = static_cast<void *>(object);
            block_->deleter = [](void *o) { delete static_cast<T *>(o); };
            ptr_ = object;
        }
    }
    Ptr(const Ptr &other)
        : block_(other.block_)
        , ptr_(other.ptr_)
    {
        retain();
    }
    Ptr(Ptr &&other) noexcept
        : block_(other.block_)
        , ptr_(other.ptr_)
    {
        other.block_ = nullptr;
        other.ptr_ = nullptr;
    }
    template<typename U, typename = std::enable_if_t<std::is_convertible<U *, T *>::value>>
    Ptr(const Ptr<U> &other)
        : block_(other.block_)
        , ptr_(other.ptr_)
    {
        retain();
    }
    ~Ptr() { reset(); }

    Ptr &operator=(const Ptr &other)
    {
        if (this != &other) {
            Ptr copy(other);
            swap(copy);
        }
        return *this;
    }
    Ptr &operator=(Ptr &&other) noexcept
    {
        if (this != &other) {
            reset();
            block_ = other.block_;
            ptr_ = other.ptr_;
            other.block_ = nullptr;
            other.ptr_ = nullptr;
        }
        return *this;
    }

    void swap(Ptr &other) noexcept
    {
        std::swap(block_, other.block_);
        std::swap(ptr_, other.ptr_);
    }
    void reset()
    {
        if (block_)
            block_->release();
        block_ = nullptr;
        ptr_ = nullptr;
    }

    T *get() const { return block_ && block_->object ? ptr_ : nullptr; }
    T *operator->() const
    {
        T *p = get();
        VELMORA_ASSERT(p != nullptr);
        return p;
    }
    T &operator*() const { return *operator->(); }
    explicit operator bool() const { return get() != nullptr; }
    bool isNull() const { return get() == nullptr; }
    bool isValid() const { return get() != nullptr; }

    // Destroys the object now; every handle that shares it reads as null.
    void destroy()
    {
        if (block_)
            block_->destroyObject();
    }
    int getCounter() const { return block_ ? block_->refs.load() : 0; }

    bool operator==(const Ptr &other) const { return get() == other.get(); }
    bool operator!=(const Ptr &other) const { return get() != other.get(); }
    bool operator==(std::nullptr_t) const { return get() == nullptr; }
    bool operator!=(std::nullptr_t) const { return get() != nullptr; }
    bool operator<(const Ptr &other) const { return get() < other.get(); }

    // Checked downcast sharing the same object; null when the type does not match.
    template<typename U>
    Ptr<U> cast() const
    {
        Ptr<U> result;
        if (U *p = dynamic_cast<U *>(get())) {
            result.block_ = block_;
            result.ptr_ = p;
            result.retain();
        }
        return result;
    }

    template<typename... Args>
    static Ptr create(Args &&...args)
    {
        return Ptr(new T(std::forward<Args>(args)...));
    }

private:
    template<typename U>
    friend class Ptr;

    void retain()
    {
        if (block_)
            block_->refs.fetch_add(1);
    }

    detail::PtrBlock *block_ = nullptr;
    T *ptr_ = nullptr;
};

template<typename U, typename T>
Ptr<U> checked_ptr_cast(const Ptr<T> &ptr)
{
    return ptr.template cast<U>();
}

} // namespace Velmora
