#include "DataDest.h"

#include <cstring>

#include "base/StreamWriter.h"

namespace orvel {

namespace {

void putUInt32(unsigned char* out, unsigned value, bool bigEndian) {
    for (int i = 0; i < 4; ++i)
        out[bigEndian ? 3 - i : i] = (unsigned char)(value >> (8 * i));
}

}  // namespace

DataDest::~DataDest() = default;

bool DataDest::good() const { return !fail_; }

void DataDest::close() {}

DataDest& DataDest::writeStreamable(Streamable* object) {
    if (context)
        context->writeReference(*this, object);
    return *this;
}

DataDest& DataDest::writeLink(const Streamable* object) {
    if (context)
        context->writeLink(*this, object);
    return *this;
}

DataDest& DataDest::writeCompact(unsigned n) {
    if (n < 0xFF)
        return writeByte(char(n));
    unsigned char b[5] = {0xFF};
    putUInt32(b + 1, n, swap);
    return write(b, 5);
}

DataDest& DataDest::writeUInt32(unsigned value) {
    unsigned char b[4];
    putUInt32(b, value, swap);
    return write(b, 4);
}

DataDest& DataDest::writeInt64(unsigned low, unsigned high) {
    unsigned char b[8];
    putUInt32(b, swap ? high : low, swap);
    putUInt32(b + 4, swap ? low : high, swap);
    return write(b, 8);
}

DataDest& DataDest::operator<<(float value) {
    unsigned bits;
    std::memcpy(&bits, &value, sizeof bits);
    return writeUInt32(bits);
}

DataDest& DataDest::operator<<(long long value) {
    unsigned long long v = (unsigned long long)value;
    return writeInt64(unsigned(v), unsigned(v >> 32));
}

DataDest& DataDest::operator<<(double value) {
    unsigned long long bits;
    std::memcpy(&bits, &value, sizeof bits);
    return writeInt64(unsigned(bits), unsigned(bits >> 32));
}

DataDest& DataDest::writeText(const char* text, unsigned length) {
    static const char zero = 0;
    static const char lineEnd[2] = {0x0A, 0x0D};
    switch (stringMode) {
    case stringTerminated:
        return write(text, length).write(&zero, 1);
    case stringLineEnd:
        return write(text, length).write(lineEnd, 2);
    case stringByteLength:
        // The length must fit its one byte: a longer text is cut to 255 bytes
        // rather than written whole after a wrapped length.
        if (length > 0xFF)
            length = 0xFF;
        return writeByte(char(length)).write(text, length);
    case stringWordLength:
        return writeUInt32(length).write(text, length);
    case stringCompactLength:
        return writeCompact(length).write(text, length);
    default:
        return *this;
    }
}

}  // namespace orvel
