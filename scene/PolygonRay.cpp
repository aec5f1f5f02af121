// The ray test of a polygon branch, done in a frame where the ray runs along
// the second axis from 0 to its length: a polygon is hit where the segment
// in which the plane of the first two axes cuts it crosses the second axis.
#include <cmath>

#include "base/Debug.h"
#include "scene/PolygonBranch.h"
#include "scene/Ray.h"

namespace kessa {

namespace {

struct RayFrame {
    Vector origin, across, along, up;
    double length;

    explicit RayFrame(const Ray& ray) : origin(ray.origin), along(ray.direction), length(ray.length) {
        Vector::normalize(along);
        across = along.cross(std::fabs(along.x) < 0.6 ? Vector(1, 0, 0) : Vector(0, 1, 0));
        Vector::normalize(across);
        up = across.cross(along);
    }
    Vector toFrame(const PolygonVertex* v) const {
        const double* p = v->position();
        Vector d = Vector(p[0], p[1], p[2]) - origin;
        return {d.dot(across), d.dot(along), d.dot(up)};
    }
    // Bits 1 and 2: beside the ray either way; 4 and 8: beyond its end and
    // behind its start; 16 and 32: above and below it.
    int outcode(const Vector& p) const {
        return (p.x > 0 ? 1 : 0) | (p.x < 0 ? 2 : 0) | (p.y > length ? 4 : 0) | (p.y < 0 ? 8 : 0) |
               (p.z > 0 ? 16 : 0) | (p.z < 0 ? 32 : 0);
    }
};

// Where the edge from a to b meets the plane of the first two axes.
Vector crossing(const Vector& a, const Vector& b) {
    double f = a.z / (a.z - b.z);
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, 0};
}

}  // namespace

bool PolygonBranch::intersectRay(const Ray& ray, RayHit& hit, bool anyHit, BunchFilter* filter) {
    if (polygons_.empty())
        return GeometryBranch::intersectRay(ray, hit, anyHit, filter);
    hit.distance = ray.length;
    hit.bunch = nullptr;
    hit.word = 0;
    const RayFrame frame(ray);
    outcodes_.assign(welded_.size(), -1);
    bool found = false;
    for (Polygon* p : polygons_) {
        if (p->isUnusable())
            continue;
        const float* n = p->normal();
        if (p->binding().first && n[0] * frame.along.x + n[1] * frame.along.y + n[2] * frame.along.z >= 0)
            continue;
        int all = ~0;
        for (const PolygonVertex* v = p->firstVertex(); v && all; v = v->next()) {
            int w = v->weldIndex;
            if (w >= 0 && std::size_t(w) < outcodes_.size()) {
                if (outcodes_[std::size_t(w)] < 0)
                    outcodes_[std::size_t(w)] = frame.outcode(frame.toFrame(v));
                all &= outcodes_[std::size_t(w)];
            } else {
                // Not welded since the polygons last changed (a stale index is
                // logged): classified here.
                if (w >= 0)
                    orvel::debug("%d %d\n", w, int(outcodes_.size()));
                all &= frame.outcode(frame.toFrame(v));
            }
        }
        if (all)
            continue;
        Vector a, b;
        bool downward = false, upward = false;
        for (const PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            Vector from = frame.toFrame(v), to = frame.toFrame(p->after(v));
            if (from.z > 0 && to.z <= 0)
                a = crossing(from, to), downward = true;
            else if (from.z <= 0 && to.z > 0)
                b = crossing(from, to), upward = true;
        }
        if (!downward || !upward || std::fmin(a.x, b.x) >= 0 || std::fmax(a.x, b.x) < 0)
            continue;
        double distance = b.y + (a.y - b.y) * (0 - b.x) / (a.x - b.x);
        if (!(distance > 0 && distance <= hit.distance))
            continue;
        found = true;
        hitPolygon_ = p;
        hit.distance = distance;
        if (anyHit)
            return true;
    }
    return found;
}

}  // namespace kessa
