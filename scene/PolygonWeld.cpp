// Welding: every vertex of a polygon branch is given the index of a welded
// position, and the vertices of one position are linked into a ring.
//
// The vertices are sorted into the eight octants around the bounds' centre,
// and an octant is divided again around the mean of its vertices until all
// of its vertices lie within the tolerance of its first (or it got every
// vertex of the node it came from). Vertices near a dividing plane must not
// be torn apart by it: at the top a vertex strictly inside the tolerance's
// band around a plane is held back and placed later, together with every
// later held-back vertex closer to it than the tolerance, in its own octant;
// further down every vertex is placed that way. Closeness is looked up in a
// hash of tolerance-sized cubes, so that a node costs time in proportion to
// its vertices even when they all lie on a dividing plane, as flat ground
// does.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "scene/PolygonBranch.h"

namespace kessa {

namespace {

Vector positionOf(const PolygonVertex* v) {
    const double* p = v->position();
    return {p[0], p[1], p[2]};
}

class Welder {
public:
    Welder(double tolerance, const Vector& centre, std::vector<PolygonVertex*>& positions)
        : tolerance_(tolerance),
          tolerance2_(tolerance * tolerance),
          cell_(tolerance > 0 ? tolerance : 1),
          origin_(centre),
          positions_(positions) {}

    void run(std::vector<PolygonVertex*>& vertices);

private:
    enum Kind { root, inner, leaf };
    struct Node {
        std::size_t begin, end;
        Kind kind;
        Vector centre;
    };
    struct Slot {
        std::int64_t x, y, z;
        int head;
    };

    bool close(const PolygonVertex* a, const PolygonVertex* b) const {
        double d2 = (positionOf(a) - positionOf(b)).lengthSquared();
        return d2 < tolerance2_ || d2 == 0;
    }
    static int octant(const PolygonVertex* v, const Vector& c) {
        const double* p = v->position();
        return (p[0] > c.x ? 1 : 0) | (p[1] > c.y ? 2 : 0) | (p[2] > c.z ? 4 : 0);
    }
    bool inBand(const PolygonVertex* v, const Vector& c) const {
        const double* p = v->position();
        return std::fabs(p[0] - c.x) < tolerance_ || std::fabs(p[1] - c.y) < tolerance_ ||
               std::fabs(p[2] - c.z) < tolerance_;
    }
    std::int64_t cellOf(double p, double o) const {
        double c = std::floor((p - o) / cell_);
        return std::isfinite(c) && std::fabs(c) < 4e18 ? std::int64_t(c) : 0;
    }
    Slot& slotFor(std::int64_t x, std::int64_t y, std::int64_t z);

    void partition(const Node& node, std::size_t bounds[9]);
    void placeTogether(const Node& node, const std::vector<int>& candidates);
    void place(int k, int octant) {
        placed_[std::size_t(k)] = 1;
        order_.push_back(k);
        octants_.push_back((unsigned char)octant);
    }
    void emit(std::size_t begin, std::size_t end);

    const double tolerance_, tolerance2_, cell_;
    const Vector origin_;
    std::vector<PolygonVertex*>& positions_;
    std::vector<PolygonVertex*> items_, scratch_;
    // Per node: positions within the node in the order placed, their
    // octants, whether placed, and the hash of cubes with its chains.
    std::vector<int> order_, candidates_, members_, next_;
    std::vector<unsigned char> octants_, placed_;
    std::vector<Slot> slots_;
};

Welder::Slot& Welder::slotFor(std::int64_t x, std::int64_t y, std::int64_t z) {
    std::uint64_t h = std::uint64_t(x) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(y) * 0xC2B2AE3D27D4EB4Full ^
                      std::uint64_t(z) * 0x165667B19E3779F9ull;
    std::size_t mask = slots_.size() - 1;
    for (std::size_t i = std::size_t(h ^ (h >> 29)) & mask;; i = (i + 1) & mask) {
        Slot& s = slots_[i];
        if (s.head < 0 || (s.x == x && s.y == y && s.z == z))
            return s;
    }
}

// Each candidate not placed yet, in order, goes into its own octant with
// every later candidate close to it.
void Welder::placeTogether(const Node& node, const std::vector<int>& candidates) {
    std::size_t capacity = 16;
    while (capacity < candidates.size() * 2)
        capacity *= 2;
    slots_.assign(capacity, Slot{0, 0, 0, -1});
    next_.assign(node.end - node.begin, -1);
    for (int k : candidates) {
        const double* p = items_[node.begin + std::size_t(k)]->position();
        std::int64_t x = cellOf(p[0], origin_.x), y = cellOf(p[1], origin_.y), z = cellOf(p[2], origin_.z);
        Slot& s = slotFor(x, y, z);
        s.x = x, s.y = y, s.z = z;
        next_[std::size_t(k)] = s.head;
        s.head = k;
    }
    for (int k : candidates) {
        if (placed_[std::size_t(k)])
            continue;
        const PolygonVertex* leader = items_[node.begin + std::size_t(k)];
        int o = octant(leader, node.centre);
        place(k, o);
        members_.clear();
        const double* p = leader->position();
        std::int64_t cx = cellOf(p[0], origin_.x), cy = cellOf(p[1], origin_.y), cz = cellOf(p[2], origin_.z);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz)
                    for (int j = slotFor(cx + dx, cy + dy, cz + dz).head; j >= 0; j = next_[std::size_t(j)])
                        if (j > k && !placed_[std::size_t(j)] && close(leader, items_[node.begin + std::size_t(j)]))
                            members_.push_back(j);
        std::sort(members_.begin(), members_.end());
        for (int j : members_)
            place(j, o);
    }
}

// Reorders the node's vertices by octant (each in the order placed);
// bounds[o] to bounds[o + 1] is octant o.
void Welder::partition(const Node& node, std::size_t bounds[9]) {
    const std::size_t n = node.end - node.begin;
    order_.clear();
    octants_.clear();
    placed_.assign(n, 0);
    candidates_.clear();
    for (std::size_t k = 0; k < n; ++k) {
        const PolygonVertex* v = items_[node.begin + k];
        if (node.kind == root && !inBand(v, node.centre))
            place(int(k), octant(v, node.centre));
        else
            candidates_.push_back(int(k));
    }
    placeTogether(node, candidates_);
    std::size_t counts[8] = {};
    for (unsigned char o : octants_)
        ++counts[o];
    bounds[0] = node.begin;
    for (int o = 0; o < 8; ++o)
        bounds[o + 1] = bounds[o] + counts[o];
    std::size_t fill[8];
    std::copy(bounds, bounds + 8, fill);
    scratch_.resize(items_.size());
    for (std::size_t i = 0; i < order_.size(); ++i)
        scratch_[fill[octants_[i]]++] = items_[node.begin + std::size_t(order_[i])];
    std::copy(scratch_.begin() + long(node.begin), scratch_.begin() + long(node.end), items_.begin() + long(node.begin));
}

void Welder::emit(std::size_t begin, std::size_t end) {
    int index = int(positions_.size());
    for (std::size_t i = begin; i < end; ++i) {
        items_[i]->weldIndex = index;
        items_[i]->samePosition = items_[i + 1 < end ? i + 1 : begin];
    }
    positions_.push_back(items_[begin]);
}

void Welder::run(std::vector<PolygonVertex*>& vertices) {
    items_.swap(vertices);
    if (items_.empty())
        return;
    // Depth first, octant 0 first, as a recursion would go.
    std::vector<Node> stack{{0, items_.size(), root, origin_}};
    while (!stack.empty()) {
        Node node = stack.back();
        stack.pop_back();
        if (node.kind == leaf) {
            emit(node.begin, node.end);
            continue;
        }
        std::size_t bounds[9];
        partition(node, bounds);
        for (int o = 7; o >= 0; --o) {
            std::size_t b = bounds[o], e = bounds[o + 1];
            if (b == e)
                continue;
            bool together = true;
            if (e - b != node.end - node.begin)
                for (std::size_t i = b + 1; i < e && together; ++i)
                    together = close(items_[b], items_[i]);
            Vector mean;
            if (!together)
                for (std::size_t i = b; i < e; ++i)
                    mean += positionOf(items_[i]);
            stack.push_back({b, e, together ? leaf : inner, mean * (1.0 / double(e - b))});
        }
    }
}

}  // namespace

void PolygonBranch::weld() {
    welded_.clear();
    std::vector<PolygonVertex*> vertices;
    for (Polygon* p : polygons_)
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            v->visited = p->smooth();
            v->neighbour = nullptr;
            v->samePosition = nullptr;
            v->weldIndex = -1;
            vertices.push_back(v);
        }
    // The tolerance is a single-precision fraction of the bounds' size.
    Welder(bounds_.radius() * double(1e-6f), bounds_.centre(), welded_).run(vertices);
}

}  // namespace kessa
