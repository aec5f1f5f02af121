// A ray segment: an origin, a unit direction and a length. Picking, ray
// tracing and the ray tests of geometry use it.
#pragma once

#include "scene/Vector.h"

namespace kessa {

class Bounds;
class Matrix;

struct Ray {
    Vector origin;
    Vector direction{0, 0, 1};
    double length = 1;

    void setOrigin(const Vector& point) { origin = point; }
    // Points the ray from its origin to point, which becomes its end.
    void aimAt(const Vector& point);
    Vector endPoint() const { return origin + direction * length; }
    Vector pointAt(double t) const { return origin + direction * t; }
    // out = in moved by m: the same origin and end point, moved.
    static void transform(Ray& out, const Ray& in, const Matrix& m);
    // Whether the segment may cross the box and sphere of b; an empty
    // record is never met.
    bool meets(const Bounds& b) const;
};

}  // namespace kessa
