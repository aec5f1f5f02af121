// The small fixed vectors that scene records store field by field: a point
// as three doubles, a colour as four floats (red, green, blue, alpha), each
// value in the stream's byte order. Each returns the stream, so calls chain:
//     readPoint(readPoint(in, min), max);
// A read that runs out of data leaves the rest of its target as it was and
// fails the source, as the typed reads do.
#pragma once

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "gui/Color.h"
#include "scene/Vector.h"

namespace kessa {

inline orvel::DataSource& readPoint(orvel::DataSource& in, Vector& p) { return in >> p.x >> p.y >> p.z; }
inline orvel::DataDest& writePoint(orvel::DataDest& out, const Vector& p) { return out << p.x << p.y << p.z; }

inline orvel::DataSource& readColour(orvel::DataSource& in, pellium::Color& c) {
    return in >> c.red >> c.green >> c.blue >> c.alpha;
}
inline orvel::DataDest& writeColour(orvel::DataDest& out, const pellium::Color& c) {
    return out << c.red << c.green << c.blue << c.alpha;
}

}  // namespace kessa
