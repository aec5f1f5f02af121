#include "scene/TriangleCollider.h"

#include <cmath>

#include "scene/CollisionAction.h"

namespace kessa {

namespace {

Vector corner(const GatheredTriangle& t, int k) { return Vector(t.p[3 * k], t.p[3 * k + 1], t.p[3 * k + 2]); }

Vector toFloat(const Vector& v) { return Vector(float(v.x), float(v.y), float(v.z)); }

// Whether c (in the triangle's plane) lies inside it or on its border, from
// its weights in the plane of the two axes other than the normal's largest
// component.
bool inside(const Vector& a, const Vector& e1, const Vector& e2, const Vector& n, const Vector& c) {
    const Vector p = c - a;
    const double mx = std::fabs(n.x), my = std::fabs(n.y), mz = std::fabs(n.z);
    double u, v;
    if (mx >= my && mx >= mz) {
        u = (p.y * e2.z - p.z * e2.y) / n.x;
        v = (e1.y * p.z - e1.z * p.y) / n.x;
    } else if (my >= mz) {
        u = (p.z * e2.x - p.x * e2.z) / n.y;
        v = (e1.z * p.x - e1.x * p.z) / n.y;
    } else {
        u = (p.x * e2.y - p.y * e2.x) / n.z;
        v = (e1.x * p.y - e1.y * p.x) / n.z;
    }
    return u > 0 && v > 0 && u + v <= 1;
}

// The point of the triangle's border nearest to c: a corner, or a point
// strictly inside an edge when that is strictly nearer.
Vector nearestOnBorder(const Vector& a, const Vector& b, const Vector& c3, const Vector& c) {
    Vector best = a;
    double d = (c - a).lengthSquared();
    auto consider = [&](const Vector& p) {
        double dp = (c - p).lengthSquared();
        if (dp < d) {
            d = dp;
            best = p;
        }
    };
    consider(b);
    consider(c3);
    const Vector edges[3][2] = {{a, b}, {a, c3}, {b, c3}};
    for (const auto& edge : edges) {
        const Vector along = edge[1] - edge[0];
        const double t = (c - edge[0]).dot(along) / along.lengthSquared();
        if (t > 0 && t < 1)
            consider(edge[0] + along * t);
    }
    return best;
}

}  // namespace

void TriangleCollider::prepare(CollisionAction& action) {
    triangles.clear();
    gatherTriangles(action, triangles);
}

bool TriangleCollider::collide(CollisionAction& action, double& t, Vector& contact) {
    const Vector p = action.position, u = action.direction;
    const double R = action.radius, D = action.distance;
    t = 1e300;
    if (D <= 0.001 * 0.001)
        return false;
    for (const GatheredTriangle& tri : triangles) {
        const Vector a = corner(tri, 0), b = corner(tri, 1), c = corner(tri, 2);
        const Vector e1 = b - a, e2 = c - a;
        const Vector winding = e1.cross(e2);
        if (winding.dot(u) >= 0 || winding.lengthSquared() <= 0)
            continue;
        Vector n = winding;
        Vector::normalize(n);
        const double d = -n.dot(a);
        const double s = n.dot(p) + d;
        double tt;
        Vector touch;
        if (s >= R) {
            const double nu = n.dot(u);
            if (nu == 0)
                continue;
            const Vector q = toFloat(p - n * R);
            tt = -(n.dot(q) + d) / nu;
            if (tt >= D)
                continue;
            touch = toFloat(q + u * tt);
        } else if (s > -R) {
            tt = 0;
            touch = p - n * s;
        } else {
            continue;
        }
        if (!inside(a, e1, e2, winding, touch)) {
            // The sphere may still meet the border.
            const Vector k = nearestOnBorder(a, b, c, touch);
            const Vector w = p - k;
            const double m = -w.dot(u);
            const double e = w.lengthSquared() - m * m;
            if (R * R - e < 0)
                continue;
            tt = m - std::sqrt(R * R - e);
            if (tt >= D)
                continue;
            touch = k;
        }
        if (tt < t && (touch - p).dot(u) > 0.001) {
            t = tt;
            contact = touch;
        }
    }
    return t < 1e300;
}

}  // namespace kessa
