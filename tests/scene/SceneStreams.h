// Writing scenes to object streams and reading them back, and laying down
// stream bytes by hand.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/StreamReader.h"
#include "base/StreamWriter.h"
#include "scene/SceneStream.h"
#include "tests/support/StreamContract.h"

namespace kessa_test {

using Bytes = std::vector<unsigned char>;

inline Bytes writeScene(orvel::Streamable* root) {
    orvel::MemoryDataDest dest;
    orvel::StreamWriter::write(dest, root);
    return Bytes(dest.data(), dest.data() + dest.size());
}

inline orvel::counted_ptr<orvel::Streamable> readScene(const Bytes& bytes) {
    orvel::MemoryDataSource source(bytes.data(), unsigned(bytes.size()), false);
    kessa::registerTypes(source);
    return StreamReader::read(source);
}

template <class T>
orvel::counted_ptr<T> roundTrip(orvel::Streamable* root) {
    return readScene(writeScene(root)).cast<T>();
}

// Stream bytes in version 1.01, little-endian.
struct Bytes101 {
    Bytes bytes;

    Bytes101() { text("ZanthaStream 1.01\n"); }
    Bytes101& byte(int v) {
        bytes.push_back((unsigned char)v);
        return *this;
    }
    Bytes101& raw(std::initializer_list<int> values) {
        for (int v : values)
            byte(v);
        return *this;
    }
    Bytes101& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Bytes101& u32(unsigned v) { return raw({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }
    Bytes101& compact(unsigned v) { return v < 255 ? byte(int(v)) : byte(255).u32(v); }
    Bytes101& string(const std::string& s) { return compact(unsigned(s.size())).text(s); }
    Bytes101& declare(int id, const std::string& tag) { return byte('?').compact(unsigned(id)).string(tag); }
    // An object record with its body.
    Bytes101& object(int type, unsigned id, const Bytes101& body) {
        byte('!').compact(unsigned(type)).u32(id).compact(unsigned(body.bytes.size()));
        bytes.insert(bytes.end(), body.bytes.begin(), body.bytes.end());
        return *this;
    }
    Bytes101& end() { return byte('#'); }
};

// An object body: only the fields, without the header.
inline Bytes101 body() {
    Bytes101 b;
    b.bytes.clear();
    return b;
}

using support::forEachCut;
using support::mutateStream;

}  // namespace kessa_test
