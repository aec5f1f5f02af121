// The steps of a polygon branch's preparation other than welding: bounds
// and triangle count, neighbours, smoothing and the edge list.
#include <cmath>

#include "base/Debug.h"
#include "scene/PolygonBranch.h"

namespace kessa {

namespace {

float dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

void PolygonBranch::computeBoundsAndCount() {
    triangleCount_ = 0;
    Vector low(1e300, 1e300, 1e300), high(-1e300, -1e300, -1e300);
    bool any = false;
    for (Polygon* p : polygons_) {
        if (p->isUnusable())
            continue;
        any = true;
        triangleCount_ += p->vertexCount() - 2;
        for (const PolygonVertex* v = p->firstVertex(); v; v = v->next())
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], v->position()[i]);
                high[i] = std::max(high[i], v->position()[i]);
            }
    }
    if (!any)
        return;
    widenForTurns(low, high);
    bounds_.set(low, high);
}

// Each half-edge a -> b finds the opposite half-edge b' -> a' among the
// vertices welded to b, the one whose polygon faces most nearly the same
// way when several qualify.
void PolygonBranch::linkNeighbours() {
    for (Polygon* p : polygons_) {
        if (p->isUnusable())
            continue;
        for (PolygonVertex* a = p->firstVertex(); a; a = a->next()) {
            if (a->neighbour)
                continue;
            PolygonVertex* b = p->after(a);
            PolygonVertex* best = nullptr;
            float bestDot = 0;
            PolygonVertex* c = b;
            do {
                Polygon* q = c->owner();
                if (!c->neighbour && q->after(c)->weldIndex == a->weldIndex && !q->isUnusable()) {
                    float d = dot(q->normal(), p->normal());
                    if (!best || d > bestDot)
                        best = c, bestDot = d;
                }
                c = c->samePosition;
            } while (c && c != b);
            if (best) {
                a->neighbour = best;
                best->neighbour = a;
            }
        }
    }
}

void PolygonBranch::smooth() {
    bool any = false;
    for (Polygon* p : polygons_)
        any = any || p->smooth();
    if (!any)
        return;
    for (Polygon* p : polygons_) {
        if (!p->smooth())
            continue;
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            if (!v->visited)
                continue;
            v->visited = false;
            Vector sum;
            PolygonVertex* r = v;
            do {
                const float* n = r->owner()->normal();
                sum += Vector(n[0], n[1], n[2]);
                r = r->samePosition;
            } while (r && r != v);
            Vector::normalize(sum);
            const float normal[3] = {float(sum.x), float(sum.y), float(sum.z)};
            v->setNormal(normal);
            for (r = v->samePosition; r && r != v; r = r->samePosition)
                if (r->visited && !r->normalLocked && r->owner()->smooth()) {
                    r->visited = false;
                    r->setNormal(normal);
                }
        }
    }
    for (Polygon* p : polygons_)
        p->smooth_ = false;
}

void PolygonBranch::buildEdges() {
    edges_.clear();
    if (edges_.capacity() < 1024)
        edges_.reserve(1024);
    for (Polygon* p : polygons_) {
        for (PolygonVertex* a = p->firstVertex(); a; a = a->next()) {
            if (a->visited)
                continue;
            a->edgeIndex = int(edges_.size());
            if (PolygonVertex* c = a->neighbour) {
                if (!c->owner() || c->visited) {
                    orvel::debug("Error in PolygonBranch::makeEdgeList() - neighbour is bad!\n");
                } else {
                    c->edgeIndex = a->edgeIndex;
                    edges_.push_back({a, c, (unsigned char)(p->edgeFlag | c->owner()->edgeFlag)});
                    c->visited = true;
                }
            } else {
                edges_.push_back({a, p->after(a), p->edgeFlag});
            }
            a->visited = true;
        }
        p->used = true;
    }
}

}  // namespace kessa
