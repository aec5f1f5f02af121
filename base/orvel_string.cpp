#include "orvel_string.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace {

bool pointsInto(const char* p, const char* block, unsigned size) {
    // Compare as integers: relational operators on unrelated pointers are unspecified.
    auto a = reinterpret_cast<std::uintptr_t>(p);
    auto b = reinterpret_cast<std::uintptr_t>(block);
    return block && a >= b && a < b + size;
}

}  // namespace

orvel_string::orvel_string() noexcept : data_(inline_), length_(0), heap_(nullptr), capacity_(0) {
    inline_[0] = 0;
}

orvel_string::orvel_string(unsigned count, char c) : orvel_string() { assign(count, c); }

orvel_string::orvel_string(const char* text) : orvel_string() { assign(text); }

orvel_string::orvel_string(const char* text, unsigned count) : orvel_string() { assign(text, count); }

orvel_string::orvel_string(const orvel_string& other) : orvel_string() {
    if (other.heap_)
        assign(other.data_, other.length_);
    else {
        std::memcpy(inline_, other.inline_, other.length_ + 1);
        length_ = other.length_;
    }
}

orvel_string::orvel_string(orvel_string&& other) noexcept : orvel_string() { takeHeapFrom(other); }

orvel_string::~orvel_string() { delete[] heap_; }

void orvel_string::takeHeapFrom(orvel_string& other) noexcept {
    if (other.heap_) {
        delete[] heap_;
        heap_ = other.heap_;
        data_ = heap_;
        capacity_ = other.capacity_;
        other.heap_ = nullptr;
        other.data_ = other.inline_;
        other.capacity_ = 0;
    } else if (heap_ && other.length_ <= capacity_) {
        std::memcpy(heap_, other.inline_, other.length_ + 1);
    } else {
        delete[] heap_;
        heap_ = nullptr;
        capacity_ = 0;
        data_ = inline_;
        std::memcpy(inline_, other.inline_, other.length_ + 1);
    }
    length_ = other.length_;
    other.length_ = 0;
    other.data_[0] = 0;
}

orvel_string& orvel_string::operator=(const orvel_string& other) { return assign(other); }

orvel_string& orvel_string::operator=(orvel_string&& other) noexcept {
    if (this != &other)
        takeHeapFrom(other);
    return *this;
}

unsigned orvel_string::checkedSum(unsigned a, unsigned b) {
    if (b >= npos - a)
        throw std::length_error("orvel_string - text too long");
    return a + b;
}

// Storage decision. Below 128 characters the inline buffer serves; a heap
// block is only given back when backToInline asks for it. From 128 on, a block
// smaller than n is replaced by one of exactly n + 1 bytes. Blocks never shrink.
void orvel_string::reserve(unsigned n, bool keep, bool backToInline) {
    if (n < inlineSize) {
        if (backToInline && heap_) {
            std::memcpy(inline_, heap_, length_ + 1);
            delete[] heap_;
            heap_ = nullptr;
            capacity_ = 0;
            data_ = inline_;
        }
        return;
    }
    if (capacity_ >= n)
        return;
    char* block = new char[std::size_t(n) + 1];
    if (keep)
        std::memcpy(block, data_, length_ + 1);
    else {
        block[0] = 0;
        length_ = 0;
    }
    delete[] heap_;
    heap_ = block;
    data_ = block;
    capacity_ = n;
}

orvel_string& orvel_string::assign(const orvel_string& other) {
    if (this != &other)
        assign(other.data_, other.length_);
    return *this;
}

orvel_string& orvel_string::assign(const char* text) {
    return text ? assign(text, unsigned(std::strlen(text))) : assign(text, 0);
}

orvel_string& orvel_string::assign(const char* text, unsigned count) {
    if (!text || count == 0) {
        length_ = 0;
        data_[0] = 0;
        return *this;
    }
    if (count >= npos)
        throw std::length_error("orvel_string - text too long");
    if (count > capacity_ && count >= inlineSize) {
        // A source inside the block being replaced must outlive the copy.
        char* old = heap_;
        heap_ = nullptr;
        capacity_ = 0;
        data_ = inline_;
        length_ = 0;
        reserve(count, false);
        std::memcpy(data_, text, count);
        delete[] old;
    } else {
        std::memmove(data_, text, count);
    }
    length_ = count;
    data_[length_] = 0;
    return *this;
}

orvel_string& orvel_string::assign(unsigned count, char c) {
    resize(0);
    resize(count, c);
    return *this;
}

orvel_string& orvel_string::assign(char c) { return assign(&c, 1); }

void orvel_string::resize(unsigned count, char fill) {
    if (count == length_)
        return;
    if (count >= npos)
        throw std::length_error("orvel_string - text too long");
    if (count > length_) {
        reserve(count, true, true);
        std::memset(data_ + length_, fill, count - length_);
    }
    length_ = count;
    data_[length_] = 0;
}

int orvel_string::compare(const char* text) const noexcept {
    int r = std::strcmp(data_, text ? text : "");
    return (r > 0) - (r < 0);
}

int orvel_string::compareRange(unsigned pos, unsigned count, const char* text) const noexcept {
    const char* start = pos > length_ ? "" : data_ + pos;
    return std::strncmp(start, text ? text : "", count);
}

unsigned orvel_string::find_first_of(char c, unsigned pos) const {
    if (pos > length_)
        throw std::out_of_range("orvel_string::find_first_of() - position out of range");
    // The terminator takes part, so a search for 0 finds the end.
    const void* hit = std::memchr(data_ + pos, c, length_ - pos + 1);
    return hit ? unsigned(static_cast<const char*>(hit) - data_) : npos;
}

unsigned orvel_string::find_first_of(const char* set, unsigned pos) const {
    if (pos > length_)
        throw std::out_of_range("orvel_string::find_first_of() - position out of range");
    if (!set || !*set)
        return npos;
    if (!set[1])
        return set[0] ? find_first_of(set[0], pos) : npos;
    bool member[256] = {};
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(set); *s; ++s)
        member[*s] = true;
    for (unsigned i = pos; i < length_; ++i)
        if (member[static_cast<unsigned char>(data_[i])])
            return i;
    return npos;
}

unsigned orvel_string::find_last_of(char c, unsigned pos) const {
    if (pos == npos)
        pos = length_;
    else if (pos > length_)
        throw std::out_of_range("orvel_string::find_last_of() - position out of range");
    for (unsigned i = pos + 1; i-- > 0;)
        if (data_[i] == c)
            return i;
    return npos;
}

orvel_string orvel_string::substr(unsigned pos, unsigned count) const {
    if (pos > length_)
        return orvel_string();
    unsigned rest = length_ - pos;
    return orvel_string(data_ + pos, count >= rest ? rest : count);
}

void orvel_string::grow() {
    checkedSum(length_, length_);
    reserve(2 * length_, true);
}

orvel_string& orvel_string::append(const char* text, unsigned count) {
    if (!text || count == 0)
        return *this;
    unsigned n = checkedSum(length_, count);
    if (n >= inlineSize && capacity_ < n) {
        // Exact reservation; the old block stays alive until the source is copied,
        // since the source may lie inside it.
        char* block = new char[std::size_t(n) + 1];
        std::memcpy(block, data_, length_);
        std::memcpy(block + length_, text, count);
        delete[] heap_;
        heap_ = block;
        data_ = block;
        capacity_ = n;
    } else {
        std::memmove(data_ + length_, text, count);
    }
    length_ = n;
    data_[length_] = 0;
    return *this;
}

orvel_string& orvel_string::append(const char* text) {
    return text ? append(text, unsigned(std::strlen(text))) : *this;
}

orvel_string& orvel_string::insert(unsigned pos, const char* text, unsigned count) {
    if (!text || count == 0)
        return *this;
    if (pos > length_)
        throw std::out_of_range("orvel_string::insert() - start pos is out of range");
    if (pointsInto(text, data_, length_ + 1)) {
        // Moving the tail would overwrite (or reallocating would free) the source.
        orvel_string copy(text, count);
        return insert(pos, copy.data_, count);
    }
    unsigned n = checkedSum(length_, count);
    reserve(n, true);
    std::memmove(data_ + pos + count, data_ + pos, length_ - pos + 1);
    std::memcpy(data_ + pos, text, count);
    length_ = n;
    return *this;
}

orvel_string& orvel_string::erase(unsigned pos, unsigned count) {
    if (pos > length_)
        throw std::out_of_range("orvel_string::erase() - position out of range");
    if (count != npos && count < length_ - pos) {
        std::memmove(data_ + pos, data_ + pos + count, length_ - pos - count + 1);
        length_ -= count;
    } else {
        length_ = pos;
        data_[length_] = 0;
    }
    return *this;
}

char* orvel_string::erase(char* it) {
    erase(unsigned(it - data_), 1);
    return it;
}

void orvel_string::toLower() noexcept {
    for (unsigned i = 0; i < length_; ++i)
        if (data_[i] >= 'A' && data_[i] <= 'Z')
            data_[i] = char(data_[i] - 'A' + 'a');
}

orvel_string operator+(const orvel_string& a, const orvel_string& b) {
    orvel_string r(a);
    r.append(b);
    return r;
}

orvel_string operator+(const orvel_string& a, const char* b) {
    orvel_string r(a);
    r.append(b);
    return r;
}

orvel_string operator+(const char* a, const orvel_string& b) {
    orvel_string r(a);
    r.append(b);
    return r;
}

orvel_string operator+(char a, const orvel_string& b) {
    orvel_string r(1, a);
    r.append(b);
    return r;
}

orvel_string operator+(const orvel_string& a, char b) {
    orvel_string r(a);
    r.push_back(b);
    return r;
}

size_t std::hash<orvel_string>::operator()(const orvel_string& s) const noexcept {
    return std::hash<std::string_view>()(std::string_view(s.c_str(), s.length()));
}
