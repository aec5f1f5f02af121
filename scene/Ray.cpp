#include "scene/Ray.h"

#include "scene/Bounds.h"
#include "scene/Matrix.h"

namespace kessa {

namespace {

// Directions shorter than this have none.
constexpr double tiny = 1e-100;

}  // namespace

void Ray::aimAt(const Vector& point) {
    direction = point - origin;
    length = direction.length();
    if (length > tiny)
        direction *= 1.0 / length;
}

void Ray::transform(Ray& out, const Ray& in, const Matrix& m) {
    Vector end = in.endPoint();
    Matrix::transformPoint(out.origin, in.origin, m);
    Vector movedEnd;
    Matrix::transformPoint(movedEnd, end, m);
    out.direction = movedEnd - out.origin;
    out.length = out.direction.length();
    if (out.length > tiny)
        out.direction *= 1.0 / out.length;
}

bool Ray::meets(const Bounds& b) const {
    if (!b.valid())
        return false;
    const Vector o = origin, e = endPoint(), d = e - o;
    const double dd = d.lengthSquared();
    if (dd < tiny)
        return false;

    // The sphere first: the nearest point of the segment to its centre.
    const Vector w = b.centre() - o;
    const double s = w.dot(d);
    if (s < 0) {
        if (w.lengthSquared() > b.radiusSquared())
            return false;
    } else if (s <= dd) {
        if ((b.centre() - (o + d * (s / dd))).lengthSquared() > b.radiusSquared())
            return false;
    } else if ((b.centre() - e).lengthSquared() > b.radiusSquared()) {
        return false;
    }

    // Then the box: where the segment enters each slab, whether that point
    // lies within the box on the two other axes.
    for (int axis = 0; axis < 3; ++axis) {
        double t;
        if (o[axis] < b.min()[axis]) {
            if (e[axis] < b.min()[axis] || d[axis] <= tiny)
                return false;
            t = (b.min()[axis] - o[axis]) / d[axis];
        } else if (o[axis] > b.max()[axis]) {
            if (e[axis] > b.max()[axis] || d[axis] >= -tiny)
                return false;
            t = (b.max()[axis] - o[axis]) / d[axis];
        } else {
            t = 0;
        }
        const Vector p = o + d * t;
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        if (p[u] >= b.min()[u] && p[u] <= b.max()[u] && p[v] >= b.min()[v] && p[v] <= b.max()[v])
            return true;
    }
    return false;
}

}  // namespace kessa
