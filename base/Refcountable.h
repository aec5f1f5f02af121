// Intrusive reference counting: the count lives in the object, and a
// one-word ref_ptr holds it. Counts are plain integers (main-thread objects).
#pragma once

namespace orvel {

class Refcountable {
public:
    Refcountable() = default;
    // A copy is a new object: it starts with no holders.
    Refcountable(const Refcountable&) : count_(0) {}
    Refcountable& operator=(const Refcountable&) { return *this; }
    virtual ~Refcountable() = default;

    void ref() noexcept { ++count_; }
    // Drops one count; the last one deletes the object.
    void unref() noexcept {
        if (--count_ == 0)
            delete this;
    }
    unsigned refCount() const noexcept { return count_; }

private:
    unsigned count_ = 0;
};

template <class T>
class ref_ptr {
public:
    ref_ptr() noexcept = default;
    ref_ptr(T* object) noexcept : ptr_(object) {
        if (ptr_)
            ptr_->ref();
    }
    ref_ptr(const ref_ptr& other) noexcept : ref_ptr(other.ptr_) {}
    template <class U>
    ref_ptr(const ref_ptr<U>& other) noexcept : ref_ptr(other.get()) {}
    ref_ptr(ref_ptr&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    ~ref_ptr() { reset(); }

    // The new object is counted before the old one is released, so that
    // p = p->next cannot delete its own source.
    ref_ptr& operator=(const ref_ptr& other) noexcept { return *this = other.ptr_; }
    ref_ptr& operator=(T* object) noexcept {
        if (object == ptr_)
            return *this;
        if (object)
            object->ref();
        T* old = ptr_;
        ptr_ = object;
        if (old)
            old->unref();
        return *this;
    }
    ref_ptr& operator=(ref_ptr&& other) noexcept {
        if (this != &other) {
            T* old = ptr_;
            ptr_ = other.ptr_;
            other.ptr_ = nullptr;
            if (old)
                old->unref();
        }
        return *this;
    }

    void reset() noexcept {
        T* old = ptr_;
        ptr_ = nullptr;
        if (old)
            old->unref();
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    bool operator==(const ref_ptr& other) const noexcept { return ptr_ == other.ptr_; }
    bool operator!=(const ref_ptr& other) const noexcept { return ptr_ != other.ptr_; }

private:
    T* ptr_ = nullptr;
};

}  // namespace orvel
