// Counted pointer to any polymorphic object. The count lives in a separate
// record shared by every holder; the last release deletes the record and,
// through it, the pointee.
//
// The record is also how a counted pointer travels in an object stream: a
// holder is written as a reference to its record, whose body is the count
// and a reference to the pointee, so every holder read back shares one
// record again.
#pragma once

#include <type_traits>

#include "base/Streamable.h"

class StreamReader;

namespace orvel {

// The record shared by all holders of one object.
class CountedRecord : public Streamable {
public:
    // How a record made for a T deletes it, and sees it as a Streamable.
    struct Kind {
        void (*destroy)(void* object);
        Streamable* (*streamable)(void* object);
    };

    // Made by the stream reader; its body says what it holds.
    CountedRecord() noexcept : count(0) {}
    CountedRecord(void* object, const Kind* kind) noexcept : object_(object), kind_(kind) {}
    CountedRecord(const CountedRecord&) = delete;
    CountedRecord& operator=(const CountedRecord&) = delete;
    ~CountedRecord() override;

    // Deletes a record whose last holder let go. Out of line, as in handle:
    // a delete inlined where two holders of one record are dropped in a row
    // makes GCC warn of a use after free that the count rules out.
    [[gnu::noinline]] static void destroy(CountedRecord* record) noexcept;

    // The pointee as a Streamable: null when it is none (or nothing is held).
    Streamable* pointee() const noexcept;
    // The record stops owning its pointee: someone else deletes it now.
    void letGo() noexcept {
        object_ = nullptr;
        read_ = nullptr;
    }

    // Body: the count, then the reference to the pointee. Inside a stream
    // writer the count written is the number of references the stream
    // makes to this record, so that what is read back holds exactly itself.
    void read(DataSource& source) override;
    const char* typeName() const override { return "internals::counted_ptr::orvel"; }
    void write(DataDest& dest) override;

    unsigned count = 1;

private:
    friend class ::StreamReader;

    // Set for records made by a counted_ptr from a raw pointer.
    void* object_ = nullptr;
    const Kind* kind_ = nullptr;
    // The pointee of a record read from a stream, which it deletes as a
    // Streamable.
    Streamable* read_ = nullptr;
};

template <class T>
struct CountedKind {
    static void destroy(void* object) { delete static_cast<T*>(object); }
    static Streamable* streamable(void* object) {
        if constexpr (std::is_convertible_v<T*, Streamable*>)
            return static_cast<T*>(object);
        else if constexpr (std::is_polymorphic_v<T>)
            return dynamic_cast<Streamable*>(static_cast<T*>(object));
        else
            return nullptr;
    }
    static constexpr CountedRecord::Kind kind{&destroy, &streamable};
};

template <class T>
class counted_ptr {
public:
    counted_ptr() noexcept = default;
    counted_ptr(decltype(nullptr)) noexcept {}
    // A new record with count 1; a null pointer gives a null holder and no record.
    explicit counted_ptr(T* object) : ptr_(object) {
        if (object)
            rec_ = new CountedRecord(object, &CountedKind<T>::kind);
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

    // Moves the pointee out of its only holder: the record goes without
    // deleting it, and the caller owns it. Null, with the holder left as it
    // is, while other holders share the pointee.
    T* take() noexcept {
        if (!rec_ || rec_->count != 1)
            return nullptr;
        T* object = ptr_;
        rec_->letGo();
        release();
        return object;
    }

    // A holder of the same record typed as U, or null when the pointee is not a U.
    template <class U>
    counted_ptr<U> cast() const noexcept {
        U* typed = dynamic_cast<U*>(ptr_);
        return typed ? counted_ptr<U>(typed, rec_) : counted_ptr<U>();
    }

    // Joins an existing record, adding one count.
    counted_ptr(T* object, CountedRecord* record) noexcept : ptr_(object), rec_(record) {
        if (rec_)
            ++rec_->count;
    }
    // A holder that takes over one count the record already carries (the
    // stream reader gives each holder it fills one of the counts it read).
    static counted_ptr adopt(T* object, CountedRecord* record) noexcept {
        counted_ptr p;
        p.ptr_ = object;
        p.rec_ = record;
        return p;
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
            CountedRecord::destroy(record);
    }

    T* ptr_ = nullptr;
    CountedRecord* rec_ = nullptr;
};

}  // namespace orvel
