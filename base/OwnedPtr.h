// Sole owner of one object; release deletes it and forgets it.
#pragma once

namespace orvel {

template <class T>
class OwnedPtr {
public:
    OwnedPtr() noexcept = default;
    explicit OwnedPtr(T* object) noexcept : ptr_(object) {}
    OwnedPtr(const OwnedPtr&) = delete;
    OwnedPtr& operator=(const OwnedPtr&) = delete;
    OwnedPtr(OwnedPtr&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    OwnedPtr& operator=(OwnedPtr&& other) noexcept {
        if (this != &other) {
            release();
            ptr_ = other.ptr_;
            other.ptr_ = nullptr;
        }
        return *this;
    }
    ~OwnedPtr() { release(); }

    // Takes a new object; the old one, if different, is deleted.
    void reset(T* object) noexcept {
        if (object == ptr_)
            return;
        release();
        ptr_ = object;
    }
    // Deletes the held object; the holder is null afterwards, so a second
    // release (or the destructor) cannot delete it again.
    void release() noexcept {
        T* old = ptr_;
        ptr_ = nullptr;
        delete old;
    }
    // Gives up ownership without deleting.
    T* detach() noexcept {
        T* p = ptr_;
        ptr_ = nullptr;
        return p;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

private:
    T* ptr_ = nullptr;
};

}  // namespace orvel
