// Object streams spelled out byte by byte, for the tests that read a layout
// by hand or expect the writer to lay one down.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/StreamRoundTrip.h"

namespace streamtest {

inline StreamBytes hex(std::initializer_list<int> values) {
    StreamBytes out;
    for (int v : values)
        out.push_back((unsigned char)v);
    return out;
}

inline StreamBytes text(const std::string& s) { return StreamBytes(s.begin(), s.end()); }

inline StreamBytes operator+(StreamBytes a, const StreamBytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline StreamBytes u32(unsigned v) { return hex({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }

inline StreamBytes compact(unsigned n) { return n < 255 ? hex({int(n)}) : hex({0xFF}) + u32(n); }

inline StreamBytes header101() { return text("ZanthaStream 1.01\n"); }

const StreamBytes endMark = hex({0x23});

// A declaration in version 1.01: compact id, compact length, tag.
inline StreamBytes declare(int id, const std::string& tag) { return hex({0x3F, id, int(tag.size())}) + text(tag); }

// An object record: type, id, compact body length, body.
inline StreamBytes record(int type, unsigned id, const StreamBytes& body) {
    return hex({0x21, type}) + u32(id) + compact(unsigned(body.size())) + body;
}

// A version 1.01 stream: the tags declared as types 1, 2, ... in order,
// then the records and the end mark.
inline StreamBytes stream101(std::initializer_list<std::string> tags, const StreamBytes& records) {
    StreamBytes out = header101();
    int id = 0;
    for (const std::string& tag : tags)
        out = out + declare(++id, tag);
    return out + records + endMark;
}

}  // namespace streamtest
