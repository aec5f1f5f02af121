#include "scene/TriangleCollider.h"

#include <cmath>

#include "scene/CollisionAction.h"
#include "scene/TriangleWeights.h"

namespace kessa {

namespace {

Vector corner(const GatheredTriangle& t, int k) { return Vector(t.p[3 * k], t.p[3 * k + 1], t.p[3 * k + 2]); }

// The point of segment ab nearest to p.
Vector nearestOnSegment(const Vector& p, const Vector& a, const Vector& b) {
    const Vector e = b - a;
    const double t = (p - a).dot(e) / e.lengthSquared();
    return t <= 0 ? a : t >= 1 ? b : a + e * t;
}

// The distance along u at which a sphere of radius R from p first touches
// the point k, when it does at or after the start.
bool touchesPoint(const Vector& p, const Vector& u, double R, const Vector& k, double& t) {
    const Vector w = p - k;
    const double m = -w.dot(u), rest = R * R - (w.lengthSquared() - m * m);
    if (rest < 0)
        return false;
    t = m - std::sqrt(rest);
    return t >= 0;
}

// The same for the inside of segment ab: where the path enters the
// cylinder of radius R round the segment's line, with the touched point
// between a and b (ends are touched as points). A path along the line
// never enters it.
bool touchesSegment(const Vector& p, const Vector& u, double R, const Vector& a, const Vector& b, double& t,
                    Vector& touched) {
    const Vector e = b - a, m = (p - a).cross(e), ue = u.cross(e);
    const double ee = e.lengthSquared(), A = ue.lengthSquared(), B = m.dot(ue), C = m.lengthSquared() - R * R * ee;
    if (A <= 1e-24 * ee || C <= 0)
        return false;
    const double discriminant = B * B - A * C;
    if (discriminant < 0)
        return false;
    t = (-B - std::sqrt(discriminant)) / A;
    const double along = (p + u * t - a).dot(e) / ee;
    if (t < 0 || along < 0 || along > 1)
        return false;
    touched = a + e * along;
    return true;
}

// Whether c, in the plane of the triangle a, a + e1, a + e2 with normal
// n = e1 x e2, lies in it or on its border.
bool inside(const Vector& a, const Vector& e1, const Vector& e2, const Vector& n, const Vector& c) {
    double u, v;
    triangleWeights(c - a, e1, e2, n, u, v);
    return u >= 0 && v >= 0 && u + v <= 1;
}

// Where a sphere of radius R moving from p along u first touches the
// triangle (n its unit normal, s the centre's height over its plane): at
// once when it is already within the radius, else where it first reaches
// the face from either side, or else an edge or a corner.
bool firstTouch(const Vector& p, const Vector& u, double R, const Vector (&corners)[3], const Vector& winding,
                const Vector& n, double s, double& t, Vector& touched) {
    const Vector &a = corners[0], e1 = corners[1] - a, e2 = corners[2] - a;
    const double side = s < 0 ? -1 : 1, towards = -side * n.dot(u);
    if (side * s >= R) {
        if (towards <= 0)
            return false;
        t = (side * s - R) / towards;
        touched = p + u * t - n * (side * R);
        if (inside(a, e1, e2, winding, touched))
            return true;
    } else {
        // The nearest point of the triangle: the centre's foot on the
        // plane, or the nearest point of an edge.
        touched = p - n * s;
        const bool onFace = inside(a, e1, e2, winding, touched);
        for (int k = 0; k < 3 && !onFace; ++k) {
            const Vector q = nearestOnSegment(p, corners[k], corners[(k + 1) % 3]);
            if (k == 0 || (q - p).lengthSquared() < (touched - p).lengthSquared())
                touched = q;
        }
        t = 0;
        if ((touched - p).lengthSquared() < R * R)
            return true;
    }
    bool found = false;
    for (int k = 0; k < 3; ++k) {
        double tk;
        Vector q;
        if (touchesSegment(p, u, R, corners[k], corners[(k + 1) % 3], tk, q) && (!found || tk < t)) {
            t = tk, touched = q, found = true;
        }
        if (touchesPoint(p, u, R, corners[k], tk) && (!found || tk < t)) {
            t = tk, touched = corners[k], found = true;
        }
    }
    return found;
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
        const Vector corners[3] = {corner(tri, 0), corner(tri, 1), corner(tri, 2)};
        const Vector winding = (corners[1] - corners[0]).cross(corners[2] - corners[0]);
        if (winding.lengthSquared() <= 0)
            continue;
        Vector n = winding;
        Vector::normalize(n);
        // Only a front is met: the centre must be in front of the plane
        // when the sphere first touches the triangle. A triangle the motion
        // leaves behind may still be met at its rim, as on a sharp ridge
        // whose other side the sphere reaches from behind its plane.
        const double s = n.dot(p - corners[0]), nu = n.dot(u);
        if ((s <= 0 && nu <= 0) || (s >= R && nu >= 0))
            continue;
        double tt;
        Vector touched;
        if (!firstTouch(p, u, R, corners, winding, n, s, tt, touched) || tt >= D || s + tt * nu <= 0)
            continue;
        if (tt < t && (touched - p).dot(u) > 0.001) {
            t = tt;
            contact = touched;
        }
    }
    return t < 1e300;
}

}  // namespace kessa
