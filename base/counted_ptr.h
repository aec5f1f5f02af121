// Counted pointer to any polymorphic object. The count lives in a separate
// record shared by every holder; the last release deletes the record and,
// through it, the pointee.
#pragma once

namespace orvel {

// The record shared by all holders of one object.
class CountedRecord {
public:
    using Destroy = void (*)(void* object);

    CountedRecord(void* object, Destroy destroy) noexcept : object_(object), destroy_(destroy) {}
    CountedRecord(const CountedRecord&) = delete;
    CountedRecord& operator=(const CountedRecord&) = delete;
    virtual ~CountedRecord() {
        if (object_)
            destroy_(object_);
    }

    unsigned count = 1;

protected:
    void* object_;
    Destroy destroy_;
};

template <class T>
class counted_ptr {
public:
    counted_ptr() noexcept = default;
    counted_ptr(decltype(nullptr)) noexcept {}
    // A new record with count 1; a null pointer gives a null holder and no record.
    explicit counted_ptr(T* object) : ptr_(object) {
        if (object)
            rec_ = new CountedRecord(object, [](void* o) { delete static_cast<T*>(o); });
    }
    counted_ptr(const counted_ptr& other) noexcept : ptr_(other.ptr_), rec_(other.rec_) {
        if (rec_)
            ++rec_->count;
    }
    template <class U>
    counted_ptr(const counted_ptr<U>& other) noexcept : ptr_(other.get()), rec_(other.record()) {
        if (rec_)
            ++rec_->count;
    }
    counted_ptr(counted_ptr&& other) noexcept : ptr_(other.ptr_), rec_(other.rec_) {
        other.ptr_ = nullptr;
        other.rec_ = nullptr;
    }
    ~counted_ptr() { release(); }

    // The new record is counted before the old one is released: assigning a
    // holder to itself, or to a pointer the old object owns, is safe.
    counted_ptr& operator=(const counted_ptr& other) noexcept {
        share(other.ptr_, other.rec_);
        return *this;
    }
    template <class U>
    counted_ptr& operator=(const counted_ptr<U>& other) noexcept {
        share(other.get(), other.record());
        return *this;
    }
    counted_ptr& operator=(counted_ptr&& other) noexcept {
        if (this != &other) {
            CountedRecord* old = rec_;
            ptr_ = other.ptr_;
            rec_ = other.rec_;
            other.ptr_ = nullptr;
            other.rec_ = nullptr;
            drop(old);
        }
        return *this;
    }

    // Drops this holder's count; the last one deletes the pointee.
    void release() noexcept {
        CountedRecord* old = rec_;
        ptr_ = nullptr;
        rec_ = nullptr;
        drop(old);
    }

    // A holder of the same record typed as U, or null when the pointee is not a U.
    template <class U>
    counted_ptr<U> cast() const noexcept {
        U* typed = dynamic_cast<U*>(ptr_);
        return typed ? counted_ptr<U>(typed, rec_) : counted_ptr<U>();
    }

    // Joins an existing record (the stream reader's typed references).
    counted_ptr(T* object, CountedRecord* record) noexcept : ptr_(object), rec_(record) {
        if (rec_)
            ++rec_->count;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    CountedRecord* record() const noexcept { return rec_; }
    unsigned useCount() const noexcept { return rec_ ? rec_->count : 0; }

    template <class U>
    bool operator==(const counted_ptr<U>& other) const noexcept {
        return ptr_ == other.get();
    }
    template <class U>
    bool operator!=(const counted_ptr<U>& other) const noexcept {
        return ptr_ != other.get();
    }

private:
    void share(T* object, CountedRecord* record) noexcept {
        if (record == rec_) {
            ptr_ = object;
            return;
        }
        if (record)
            ++record->count;
        CountedRecord* old = rec_;
        ptr_ = object;
        rec_ = record;
        drop(old);
    }
    static void drop(CountedRecord* record) noexcept {
        if (record && --record->count == 0)
            delete record;
    }

    T* ptr_ = nullptr;
    CountedRecord* rec_ = nullptr;
};

}  // namespace orvel
