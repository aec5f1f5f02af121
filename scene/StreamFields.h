// The small fixed vectors that scene records store field by field: a point
// as three doubles, a colour as four floats (red, green, blue, alpha), a
// normal as three floats, a texture coordinate as two (s, t), each value in
// the stream's byte order. A batch's normal and texture-coordinate streams
// hold their elements in the same form, written and read as whole blocks of
// words rather than a call per value. Each returns the stream, so calls chain:
//     readPoint(readPoint(in, min), max);
// A read that runs out of data leaves the rest of its target as it was and
// fails the source, as the typed reads do.
#pragma once

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "gui/Color.h"
#include "scene/GeoBunch.h"
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

inline orvel::DataSource& readNormal(orvel::DataSource& in, GeoBunch::Float3& n) { return in >> n.x >> n.y >> n.z; }
inline orvel::DataDest& writeNormal(orvel::DataDest& out, const GeoBunch::Float3& n) {
    return out << n.x << n.y << n.z;
}

inline orvel::DataSource& readTexCoord(orvel::DataSource& in, GeoBunch::Float2& t) { return in >> t.s >> t.t; }
inline orvel::DataDest& writeTexCoord(orvel::DataDest& out, const GeoBunch::Float2& t) { return out << t.s << t.t; }

}  // namespace kessa
