// The output byte stream: the counterpart of DataSource. A sink provides the
// byte writes; the typed writers here fix every encoding. Writes after a
// failure are dropped; nothing throws.
#pragma once

#include <cstring>
#include <vector>

#include "base/StringMode.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"

namespace orvel {

class StreamWriter;

class DataDest {
public:
    DataDest() = default;
    virtual ~DataDest();
    DataDest(const DataDest&) = delete;
    DataDest& operator=(const DataDest&) = delete;

    virtual bool good() const;
    virtual DataDest& writeByte(char c) = 0;
    virtual DataDest& write(const void* data, unsigned count) = 0;
    virtual void close();

    // Below 255 one byte; otherwise 0xFF and the 32-bit value.
    DataDest& writeCompact(unsigned n);
    DataDest& writeInt32(int value) { return writeUInt32(unsigned(value)); }
    DataDest& writeUInt32(unsigned value);
    // A plain 64-bit value in the stream's byte order, given as two words.
    DataDest& writeInt64(unsigned low, unsigned high);
    // The text in the current string mode; an unknown mode writes nothing.
    DataDest& writeString(const orvel_string& text) { return writeText(text.c_str(), text.length()); }

    DataDest& operator<<(bool value) { return writeByte(value ? 1 : 0); }
    DataDest& operator<<(char c) { return writeByte(c); }
    DataDest& operator<<(int value) { return writeUInt32(unsigned(value)); }
    DataDest& operator<<(unsigned value) { return writeUInt32(value); }
    DataDest& operator<<(float value);
    DataDest& operator<<(long long value);
    DataDest& operator<<(double value);
    DataDest& operator<<(const orvel_string& text) { return writeString(text); }
    DataDest& operator<<(const char* text) { return writeText(text, text ? unsigned(std::strlen(text)) : 0); }
    // Any other pointer would quietly become a bool.
    DataDest& operator<<(const void*) = delete;

    void setStringMode(int mode) { stringMode = mode; }

    // A reference to another object inside an object body: its id in the
    // stream being written (0 for null). Outside a StreamWriter there are no
    // ids and nothing is written.
    DataDest& writeStreamable(Streamable* object);
    // A counted holder is written as a reference to its record.
    template <class T>
    DataDest& writeStreamable(const counted_ptr<T>& holder) {
        return writeStreamable(static_cast<Streamable*>(holder.record()));
    }
    // A link back to an object that this one does not hold (its owner, its
    // parent, a sibling): written as a reference, but it never brings its
    // object into the stream. It names the object when something else
    // writes it in the same stream, and is 0 otherwise.
    DataDest& writeLink(const Streamable* object);

    // The stream writer whose object bodies this sink takes, if any.
    StreamWriter* context = nullptr;
    // Set on any failed write; later writes are dropped.
    bool fail() const { return fail_; }
    void setFail() { fail_ = true; }

    // Multi-byte values are big-endian when set.
    bool swap = false;
    int stringMode = stringCompactLength;

private:
    bool fail_ = false;

    DataDest& writeText(const char* text, unsigned length);
};

// A list of references: a compact count, then one reference per element.
template <class T>
DataDest& operator<<(DataDest& dest, const std::vector<T*>& list) {
    dest.writeCompact(unsigned(list.size()));
    for (T* object : list)
        dest.writeStreamable(object);
    return dest;
}

}  // namespace orvel
