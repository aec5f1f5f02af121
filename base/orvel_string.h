// The system's text type: an 8-bit, NUL-terminated byte string that keeps
// texts of up to 127 characters inside the object and moves to a heap block
// when it grows past that. Growth, position checks and messages are its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

class orvel_string {
public:
    // Every "up to the end" count and every "not found" result.
    static constexpr unsigned npos = 0x7FFFFFFF;
    static constexpr unsigned inlineSize = 128;

    orvel_string() noexcept;
    orvel_string(unsigned count, char c);
    orvel_string(const char* text);
    orvel_string(const char* text, unsigned count);
    orvel_string(const orvel_string& other);
    orvel_string(orvel_string&& other) noexcept;
    ~orvel_string();

    orvel_string& operator=(const orvel_string& other);
    orvel_string& operator=(orvel_string&& other) noexcept;
    orvel_string& operator=(const char* text) { return assign(text); }
    orvel_string& operator=(char c) { return assign(c); }

    orvel_string& assign(const orvel_string& other);
    orvel_string& assign(const char* text);
    orvel_string& assign(const char* text, unsigned count);
    orvel_string& assign(unsigned count, char c);
    orvel_string& assign(char c);
    void resize(unsigned count, char fill = '\0');

    const char* c_str() const noexcept { return data_; }
    const char* data() const noexcept { return data_; }
    char* data() noexcept { return data_; }
    unsigned length() const noexcept { return length_; }
    unsigned size() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }
    // Characters the heap block holds; 0 while the inline buffer is in use.
    unsigned capacity() const noexcept { return capacity_; }
    bool isInline() const noexcept { return heap_ == nullptr; }

    char operator[](unsigned i) const noexcept { return data_[i]; }
    char& operator[](unsigned i) noexcept { return data_[i]; }
    char* begin() noexcept { return data_; }
    char* end() noexcept { return data_ + length_; }
    const char* begin() const noexcept { return data_; }
    const char* end() const noexcept { return data_ + length_; }

    // Three-way -1/0/1, bytes as unsigned, up to the first difference or terminator.
    int compare(const char* text) const noexcept;
    int compare(const orvel_string& other) const noexcept { return compare(other.data_); }
    // The C library's bounded comparison of count characters starting at pos;
    // a pos past the end compares as the empty text.
    int compareRange(unsigned pos, unsigned count, const char* text) const noexcept;
    int compareRange(unsigned pos, unsigned count, const orvel_string& other) const noexcept {
        return compareRange(pos, count, other.data_);
    }

    unsigned find_first_of(char c, unsigned pos = 0) const;
    unsigned find_first_of(const char* set, unsigned pos = 0) const;
    unsigned find_last_of(char c, unsigned pos = npos) const;
    orvel_string substr(unsigned pos, unsigned count = npos) const;

    void push_back(char c) {
        if (length_ >= inlineSize - 1 && length_ >= capacity_)
            grow();
        data_[length_] = c;
        data_[++length_] = 0;
    }
    orvel_string& append(const char* text, unsigned count);
    orvel_string& append(const char* text);
    orvel_string& append(const orvel_string& other) { return append(other.data_, other.length_); }
    orvel_string& operator+=(const orvel_string& other) { return append(other); }
    orvel_string& operator+=(const char* text) { return append(text); }
    orvel_string& operator+=(char c) {
        push_back(c);
        return *this;
    }

    orvel_string& insert(unsigned pos, const char* text, unsigned count);
    orvel_string& insert(unsigned pos, const orvel_string& other) { return insert(pos, other.data_, other.length_); }

    orvel_string& erase(unsigned pos = 0, unsigned count = npos);
    char* erase(char* it);
    void clear() noexcept { resize(0); }

    void toLower() noexcept;

private:
    // Makes room for n characters; see the growth rules in the source.
    void reserve(unsigned n, bool keep, bool backToInline = false);
    static unsigned checkedSum(unsigned a, unsigned b);
    void takeHeapFrom(orvel_string& other) noexcept;
    // push_back's slow path: double the block.
    void grow();

    char inline_[inlineSize];
    char* data_;
    unsigned length_;
    char* heap_;
    unsigned capacity_;
};

orvel_string operator+(const orvel_string& a, const orvel_string& b);
orvel_string operator+(const orvel_string& a, const char* b);
orvel_string operator+(const char* a, const orvel_string& b);
orvel_string operator+(char a, const orvel_string& b);
orvel_string operator+(const orvel_string& a, char b);

inline bool operator==(const orvel_string& a, const orvel_string& b) {
    return a.length() == b.length() && std::memcmp(a.c_str(), b.c_str(), a.length()) == 0;
}
inline bool operator!=(const orvel_string& a, const orvel_string& b) { return !(a == b); }
inline bool operator==(const orvel_string& a, const char* b) { return a.compare(b) == 0; }
inline bool operator!=(const orvel_string& a, const char* b) { return a.compare(b) != 0; }
inline bool operator<(const orvel_string& a, const orvel_string& b) { return a.compare(b) < 0; }

template <>
struct std::hash<orvel_string> {
    size_t operator()(const orvel_string& s) const noexcept;
};
