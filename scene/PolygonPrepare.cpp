// The steps of a polygon branch's preparation other than welding: bounds
// and triangle count, neighbours, smoothing and the edge list.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

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
// way when several qualify, and of those the first going round b's ring
// from b. Short rings are walked. A ring can also hold thousands of
// vertices (the middle of a fan): one found longer than a few steps is
// listed once, sorted by the welded position that follows each of its
// vertices, and a half-edge looks only at those that lead back to a.
void PolygonBranch::linkNeighbours() {
    struct Member {
        // The welded position after the vertex (none in an unusable
        // polygon), and its place in the ring.
        unsigned after, place;
        PolygonVertex* v;
    };
    const unsigned none = ~0u, walked = 16;
    auto byAfter = [](const Member& x, const Member& y) { return x.after < y.after; };
    auto byPlace = [](const Member& x, const Member& y) { return x.place < y.place; };
    // Per welded position, where its sorted ring lies in members (none
    // while it is not sorted).
    std::vector<unsigned> listed(welded_.size(), none);
    std::vector<std::pair<std::size_t, std::size_t>> lists;
    std::vector<Member> members;
    auto list = [&](std::size_t g) {
        listed[g] = unsigned(lists.size());
        const std::size_t begin = members.size();
        unsigned place = 0;
        PolygonVertex* c = welded_[g];
        do {
            ++vertexSteps_;
            Polygon* q = c->owner();
            c->number = int(place);
            members.push_back({q->isUnusable() ? none : unsigned(q->after(c)->weldIndex), place++, c});
            c = c->samePosition;
        } while (c != welded_[g]);
        std::sort(members.begin() + long(begin), members.end(), [](const Member& x, const Member& y) {
            return x.after != y.after ? x.after < y.after : x.place < y.place;
        });
        lists.emplace_back(begin, members.size());
    };
    for (Polygon* p : polygons_) {
        if (p->isUnusable())
            continue;
        for (PolygonVertex* a = p->firstVertex(); a; a = a->next()) {
            if (a->neighbour)
                continue;
            PolygonVertex* b = p->after(a);
            PolygonVertex* best = nullptr;
            float bestDot = 0;
            auto consider = [&](PolygonVertex* c) {
                ++vertexSteps_;
                Polygon* q = c->owner();
                if (c->neighbour || q->after(c)->weldIndex != a->weldIndex || q->isUnusable())
                    return;
                float d = dot(q->normal(), p->normal());
                if (!best || d > bestDot)
                    best = c, bestDot = d;
            };
            const std::size_t g = std::size_t(b->weldIndex);
            if (listed[g] == none) {
                PolygonVertex* c = b;
                unsigned steps = 0;
                do {
                    consider(c);
                    c = c->samePosition;
                } while (c != b && ++steps < walked);
                if (c != b) {
                    best = nullptr;
                    list(g);
                }
            }
            if (listed[g] != none) {
                const auto ring = members.begin() + long(lists[listed[g]].first);
                const auto ringEnd = members.begin() + long(lists[listed[g]].second);
                const auto [first, last] =
                    std::equal_range(ring, ringEnd, Member{unsigned(a->weldIndex), 0, nullptr}, byAfter);
                // Round the ring from b: the places from b's on, then the ones before.
                const Member from{0, unsigned(b->number), nullptr};
                const std::size_t k = std::size_t(last - first);
                const std::size_t skip = std::size_t(std::lower_bound(first, last, from, byPlace) - first);
                for (std::size_t i = 0; i < k; ++i)
                    consider(first[long((skip + i) % k)].v);
            }
            if (best) {
                a->neighbour = best;
                best->neighbour = a;
            }
        }
    }
}

// Each welded position's normal is the sum of the face normals round it,
// found once, by the first smooth vertex there that is still marked.
void PolygonBranch::smooth() {
    bool any = false;
    for (Polygon* p : polygons_)
        any = any || p->smooth();
    if (!any)
        return;
    std::vector<std::array<float, 3>> normals(welded_.size());
    std::vector<char> summed(welded_.size(), 0);
    for (Polygon* p : polygons_) {
        if (!p->smooth())
            continue;
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            if (!v->visited)
                continue;
            v->visited = false;
            std::array<float, 3>& normal = normals[std::size_t(v->weldIndex)];
            if (summed[std::size_t(v->weldIndex)]) {
                v->setNormal(normal.data());
                continue;
            }
            summed[std::size_t(v->weldIndex)] = 1;
            Vector sum;
            PolygonVertex* r = v;
            do {
                ++vertexSteps_;
                const float* n = r->owner()->normal();
                sum += Vector(n[0], n[1], n[2]);
                r = r->samePosition;
            } while (r && r != v);
            Vector::normalize(sum);
            normal = {float(sum.x), float(sum.y), float(sum.z)};
            v->setNormal(normal.data());
            for (r = v->samePosition; r && r != v; r = r->samePosition, ++vertexSteps_)
                if (r->visited && !r->normalLocked && r->owner()->smooth()) {
                    r->visited = false;
                    r->setNormal(normal.data());
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
