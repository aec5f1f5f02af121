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
// further down every vertex is placed that way.
//
// Which vertices are close to which is found once, through a hash of cells
// four tolerances wide (a vertex looks into a neighbouring cell only from
// near its side), so that each level of the tree costs time in proportion
// to its vertices even when they all lie on a dividing plane, as flat
// ground does.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "scene/PolygonBranch.h"

namespace kessa {

namespace {

class Welder {
public:
    Welder(double tolerance, const Vector& centre, std::vector<PolygonVertex*>& positions)
        : tolerance_(tolerance),
          tolerance2_(tolerance * tolerance),
          cellSize_(tolerance > 0 ? 4 * tolerance : 1),
          origin_(centre),
          positions_(positions) {}

    // Welds the vertices, which the welder takes.
    void run(std::vector<PolygonVertex*>& vertices);

private:
    enum Kind { root, inner, leaf };
    struct Node {
        std::size_t begin, end;
        Kind kind;
        Vector centre;
    };
    struct Cell {
        std::int32_t x, y, z;
        int head;  // first vertex of the cell's chain, -1 for a free slot
    };

    const double* at(int g) const { return vertices_[std::size_t(g)]->position(); }
    bool close(int a, int b) const {
        const double *p = at(a), *q = at(b);
        double dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
        double d2 = dx * dx + dy * dy + dz * dz;
        return d2 < tolerance2_ || d2 == 0;
    }
    static int octant(const double* p, const Vector& c) {
        return (p[0] > c.x ? 1 : 0) | (p[1] > c.y ? 2 : 0) | (p[2] > c.z ? 4 : 0);
    }
    bool inBand(const double* p, const Vector& c) const {
        return std::fabs(p[0] - c.x) < tolerance_ || std::fabs(p[1] - c.y) < tolerance_ ||
               std::fabs(p[2] - c.z) < tolerance_;
    }
    // The cell along one axis, and where in it the coordinate lies (0 .. 1).
    std::int32_t cellOf(double p, double o, double& within) const {
        double u = (p - o) / cellSize_, c = std::floor(u);
        within = u - c;
        return std::isfinite(c) ? std::int32_t(std::clamp(c, -2e9, 2e9)) : 0;
    }
    Cell& slot(std::int32_t x, std::int32_t y, std::int32_t z);
    void findCloseVertices();

    void partition(const Node& node, std::size_t bounds[9]);
    void place(int k, int octant, int g) {
        placed_[std::size_t(g)] = stamp_;
        order_.push_back(k);
        octants_.push_back((unsigned char)octant);
    }
    void emit(std::size_t begin, std::size_t end);

    const double tolerance_, tolerance2_, cellSize_;
    const Vector origin_;
    std::vector<PolygonVertex*>& positions_;
    std::vector<PolygonVertex*> vertices_;
    // For each vertex, the others closer than the tolerance: closeList_ from
    // closeStart_[g] to closeStart_[g + 1].
    std::vector<int> closeStart_, closeList_;
    std::vector<Cell> cells_;
    std::vector<int> chain_;
    // Vertex numbers in tree order; per vertex its place in its node, and
    // the node (by stamp) in which it was last a candidate and last placed.
    std::vector<int> items_, scratch_, rank_, candidate_, placed_;
    int stamp_ = 0;
    // Per node: places within the node in the order placed, their octants,
    // and a leader's group.
    std::vector<int> order_, members_;
    std::vector<unsigned char> octants_;
};

Welder::Cell& Welder::slot(std::int32_t x, std::int32_t y, std::int32_t z) {
    std::uint64_t h = std::uint64_t(std::uint32_t(x)) * 0x9E3779B97F4A7C15ull ^
                      std::uint64_t(std::uint32_t(y)) * 0xC2B2AE3D27D4EB4Full ^
                      std::uint64_t(std::uint32_t(z)) * 0x165667B19E3779F9ull;
    std::size_t mask = cells_.size() - 1;
    for (std::size_t i = std::size_t(h ^ (h >> 31)) & mask;; i = (i + 1) & mask) {
        Cell& c = cells_[i];
        if (c.head < 0 || (c.x == x && c.y == y && c.z == z))
            return c;
    }
}

void Welder::findCloseVertices() {
    const int n = int(vertices_.size());
    std::size_t capacity = 16;
    while (capacity < vertices_.size() * 2)
        capacity *= 2;
    cells_.assign(capacity, Cell{0, 0, 0, -1});
    chain_.assign(vertices_.size(), -1);
    double within;
    for (int g = 0; g < n; ++g) {
        const double* p = at(g);
        std::int32_t x = cellOf(p[0], origin_.x, within), y = cellOf(p[1], origin_.y, within),
                     z = cellOf(p[2], origin_.z, within);
        Cell& c = slot(x, y, z);
        c.x = x, c.y = y, c.z = z;
        chain_[std::size_t(g)] = c.head;
        c.head = g;
    }
    closeStart_.assign(vertices_.size() + 1, 0);
    closeList_.clear();
    const double reach = tolerance_ / cellSize_;
    for (int g = 0; g < n; ++g) {
        closeStart_[std::size_t(g)] = int(closeList_.size());
        const double* p = at(g);
        std::int32_t c[3];
        int low[3], high[3];
        for (int a = 0; a < 3; ++a) {
            c[a] = cellOf(p[a], origin_[a], within);
            low[a] = within < reach ? -1 : 0;
            high[a] = 1 - within <= reach ? 1 : 0;
        }
        for (int dx = low[0]; dx <= high[0]; ++dx)
            for (int dy = low[1]; dy <= high[1]; ++dy)
                for (int dz = low[2]; dz <= high[2]; ++dz)
                    for (int h = slot(c[0] + dx, c[1] + dy, c[2] + dz).head; h >= 0; h = chain_[std::size_t(h)])
                        if (h != g && close(g, h))
                            closeList_.push_back(h);
    }
    closeStart_[vertices_.size()] = int(closeList_.size());
    std::vector<Cell>().swap(cells_);
    std::vector<int>().swap(chain_);
}

// Reorders the node's vertices by octant (each in the order placed);
// bounds[o] to bounds[o + 1] is octant o.
void Welder::partition(const Node& node, std::size_t bounds[9]) {
    const std::size_t n = node.end - node.begin;
    ++stamp_;
    order_.clear();
    octants_.clear();
    for (std::size_t k = 0; k < n; ++k) {
        int g = items_[node.begin + k];
        rank_[std::size_t(g)] = int(k);
        const double* p = at(g);
        if (node.kind == root && !inBand(p, node.centre))
            place(int(k), octant(p, node.centre), g);
        else
            candidate_[std::size_t(g)] = stamp_;
    }
    // Each candidate not placed yet, in order, goes into its own octant with
    // every later candidate close to it.
    for (std::size_t k = 0; k < n; ++k) {
        int g = items_[node.begin + k];
        if (candidate_[std::size_t(g)] != stamp_ || placed_[std::size_t(g)] == stamp_)
            continue;
        int o = octant(at(g), node.centre);
        place(int(k), o, g);
        members_.clear();
        for (int i = closeStart_[std::size_t(g)]; i < closeStart_[std::size_t(g) + 1]; ++i) {
            int m = closeList_[std::size_t(i)];
            if (candidate_[std::size_t(m)] == stamp_ && placed_[std::size_t(m)] != stamp_ &&
                rank_[std::size_t(m)] > int(k))
                members_.push_back(m);
        }
        std::sort(members_.begin(), members_.end(),
                  [this](int a, int b) { return rank_[std::size_t(a)] < rank_[std::size_t(b)]; });
        for (int m : members_)
            place(rank_[std::size_t(m)], o, m);
    }
    std::size_t counts[8] = {};
    for (unsigned char o : octants_)
        ++counts[o];
    bounds[0] = node.begin;
    for (int o = 0; o < 8; ++o)
        bounds[o + 1] = bounds[o] + counts[o];
    std::size_t fill[8];
    std::copy(bounds, bounds + 8, fill);
    for (std::size_t i = 0; i < order_.size(); ++i)
        scratch_[fill[octants_[i]]++] = items_[node.begin + std::size_t(order_[i])];
    std::copy(scratch_.begin() + long(node.begin), scratch_.begin() + long(node.end), items_.begin() + long(node.begin));
}

void Welder::emit(std::size_t begin, std::size_t end) {
    int index = int(positions_.size());
    for (std::size_t i = begin; i < end; ++i) {
        PolygonVertex* v = vertices_[std::size_t(items_[i])];
        v->weldIndex = index;
        v->samePosition = vertices_[std::size_t(items_[i + 1 < end ? i + 1 : begin])];
    }
    positions_.push_back(vertices_[std::size_t(items_[begin])]);
}

void Welder::run(std::vector<PolygonVertex*>& vertices) {
    vertices_.swap(vertices);
    const std::size_t n = vertices_.size();
    if (n == 0)
        return;
    findCloseVertices();
    items_.resize(n);
    for (std::size_t g = 0; g < n; ++g)
        items_[g] = int(g);
    scratch_.resize(n);
    rank_.assign(n, 0);
    candidate_.assign(n, 0);
    placed_.assign(n, 0);
    // Depth first, octant 0 first, as a recursion would go.
    std::vector<Node> stack{{0, n, root, origin_}};
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
            if (!together) {
                for (std::size_t i = b; i < e; ++i) {
                    const double* p = at(items_[i]);
                    mean += Vector(p[0], p[1], p[2]);
                }
                mean *= 1.0 / double(e - b);
            }
            stack.push_back({b, e, together ? leaf : inner, mean});
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
