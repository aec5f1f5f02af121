// One-word owner of a plain record whose first word is its count.
#pragma once

namespace orvel {

// Base of records held by handle<T>; the count comes first.
struct HandleRecord {
    unsigned handleCount = 0;
};

template <class T>
class handle {
public:
    handle() noexcept = default;
    handle(T* record) noexcept : rec_(record) {
        if (rec_)
            ++rec_->handleCount;
    }
    handle(const handle& other) noexcept : handle(other.rec_) {}
    handle(handle&& other) noexcept : rec_(other.rec_) { other.rec_ = nullptr; }
    ~handle() { release(); }

    handle& operator=(const handle& other) noexcept {
        if (other.rec_ == rec_)
            return *this;
        if (other.rec_)
            ++other.rec_->handleCount;
        T* old = rec_;
        rec_ = other.rec_;
        drop(old);
        return *this;
    }
    handle& operator=(handle&& other) noexcept {
        if (this != &other) {
            T* old = rec_;
            rec_ = other.rec_;
            other.rec_ = nullptr;
            drop(old);
        }
        return *this;
    }

    void release() noexcept {
        T* old = rec_;
        rec_ = nullptr;
        drop(old);
    }

    T* get() const noexcept { return rec_; }
    T* operator->() const noexcept { return rec_; }
    T& operator*() const noexcept { return *rec_; }
    explicit operator bool() const noexcept { return rec_ != nullptr; }
    bool operator==(const handle& other) const noexcept { return rec_ == other.rec_; }

private:
    static void drop(T* record) noexcept {
        if (record && --record->handleCount == 0)
            destroy(record);
    }
    // The last release stays out of line: it is the rare path, and a delete
    // inlined where two holders of one record are dropped in a row makes
    // GCC warn of a use after free that the count rules out.
    [[gnu::noinline]] static void destroy(T* record) noexcept { delete record; }

    T* rec_ = nullptr;
};

}  // namespace orvel
