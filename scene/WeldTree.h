// Welding: which of many points stand for one position. Points closer than
// a tolerance are one position, and so are points chained to one another by
// such closeness where no cell of an octree can divide them. Both the batch
// builder and polygon branches weld this way, with their own tolerances and
// the rules below.
//
// Points at exactly one place always take the same way through the tree, so
// the tree is built over the distinct places (found by a hash of their
// bits), each standing for its points. Cells are divided level by level
// into the eight octants around their centre: a place near a dividing plane
// is held back, and each held-back place in turn goes to its own octant
// together with every later held-back place close to it. Whether a place
// has any other place close to it is found once, through a grid of cells
// four tolerances wide; a held-back place without one simply goes to its
// octant, so each level is a pass in order over its places, and the grid is
// consulted again only for the few places that have close ones. An octant
// whose places all lie close to its first, or which holds every place of
// its cell, is one group; any other is divided again around its mean.
// Groups are numbered depth first, octant 0 first, and cells are resolved
// from an explicit stack, so the depth of the tree costs no call stack.
// A place that is not finite stays out of the tree: it is a group of its
// own, after the tree's groups. A place may be given a tolerance of its
// own below the tree's: two places are then close only within the smaller
// of theirs. The grid and the slabs still use the tree's, which reaches
// every pair close by either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kessa {

class WeldTree {
public:
    struct Rules {
        double tolerance = 0;
        // true: on every level a place strictly inside the slab around any
        // plane through the cell's centre (centre - t < x < centre + t) is
        // held back. false: only on the top level are places held back,
        // those strictly within the band |x - centre| < t; below it every
        // place is.
        bool slabsOnEveryLevel = true;
        // Whether the tree follows the points themselves, in the order they
        // were added: means are summed point by point and groups list their
        // points in the order the points would have been sorted one by one.
        bool pointByPoint = false;
    };
    // A place in the tree's order.
    struct Item {
        double p[3];
        unsigned position;
        // Places of one block have been in one gathering at every level, so
        // their points are still in the order they were added.
        unsigned block;
    };

    // Forgets every point; expects about count of them.
    void clear(std::size_t count);
    void add(const double p[3]);
    // Adds count points, point i at at(i). The table entries the points
    // will look at are fetched a few points ahead, so that the waits for
    // memory overlap.
    template <class At>
    void add(std::size_t count, At at) {
        const std::size_t ahead = 8;
        for (std::size_t i = 0; i < count; ++i) {
            if (i + 2 * ahead < count)
                fetchSlot(at(i + 2 * ahead));
            if (i + ahead < count)
                fetchPlace(at(i + ahead));
            add(at(i));
        }
    }
    // Keeps the place of point close to others only within tolerance (when
    // that is below the tree's). Called after the last point is added.
    void limit(std::size_t point, double tolerance);
    // The box around every point (nothing for no points).
    void box(double lo[3], double hi[3]) const;
    // The box around every point but the strays: places not finite, or
    // more than 64 times as far from the places' median (along an axis) as
    // three in four places are (both found over a sample of a few thousand
    // places, evenly spread). A tolerance taken from the size of the
    // geometry must not follow one corner far away over everything else.
    // Returns whether any place was left out; lo and hi are set only then.
    bool bulkBox(double lo[3], double hi[3]) const;

    // Sorts the places into groups around centre.
    void build(const Rules& rules, const double centre[3]);

    int groupCount() const { return int(groupStart_.size()) - 1; }
    int groupOfPoint(std::size_t point) const { return groupOfPosition_[positionOf_[point]]; }
    // The places of group g are items from groupStart(g) to groupStart(g + 1).
    std::size_t groupStart(int g) const { return groupStart_[std::size_t(g)]; }
    const Item& item(std::size_t i) const { return items_[i]; }
    unsigned weight(unsigned position) const { return weights_[position]; }
    // Whether group g was welded whole although its places are not all
    // close to its first: its cell could not divide it.
    bool undivided(int g) const { return undivided_[std::size_t(g)] != 0; }
    // The points of group g, by the point-by-point order.
    void pointsOf(int g, std::vector<unsigned>& points) const;
    // Squared distance 0 or below the square of the smaller tolerance of
    // their places.
    bool close(const Item& a, const Item& b) const { return close(a.p, a.position, b.p, b.position); }

private:
    struct Node {
        std::size_t begin, end;
        double centre[3];
        bool top, leaf, undivided;
    };
    struct Cell {
        std::int32_t x, y, z;
        unsigned head, stamp;
    };

    bool close(const double* a, unsigned placeA, const double* b, unsigned placeB) const;
    std::size_t slotOf(const double* p) const;
    void fetchSlot(const double* p) const { __builtin_prefetch(&table_[slotOf(p)]); }
    void fetchPlace(const double* p) const;
    void grow();
    void insert(unsigned position);
    std::int32_t cellOf(double p, int axis, double& within) const;
    void neighbourhood(const double* p, std::int32_t at[3], int from[3], int to[3]) const;
    std::size_t markOf(std::int32_t x, std::int32_t y, std::int32_t z) const;
    std::size_t slot(std::int32_t x, std::int32_t y, std::int32_t z, int bits) const;
    void startCells(std::size_t count);
    Cell* findCell(std::int32_t x, std::int32_t y, std::int32_t z, bool make);
    void findCloseOnes();
    void partition(const Node& node, std::size_t bounds[9]);
    void gather(std::size_t at, unsigned lead);
    void gatherPairs(std::size_t begin);
    void gatherByCells(std::size_t begin);
    // The sum of the points of the places from begin to end, each times
    // scale, and their number.
    double sumPoints(std::size_t begin, std::size_t end, double scale, double sum[3]);
    void mean(std::size_t begin, std::size_t end, double centre[3]);
    std::size_t blockEnd(std::size_t i, std::size_t end) const;
    void appendBlock(std::size_t begin, std::size_t end, std::vector<unsigned>& points) const;

    Rules rules_;
    double tolerance2_ = 0, origin_[3] = {0, 0, 0};

    // The distinct places in the order first met, the points at each, and
    // each point's place; a hash of the places' bits.
    std::vector<double> positions_;
    std::vector<unsigned> weights_, positionOf_, table_;
    // Per place the square of its own tolerance; empty while none has one.
    std::vector<double> limit2_;
    // Per place: whether another lies close to it; the marks of the grid's
    // cells (markOf).
    std::vector<char> hasClose_;
    std::vector<std::uint64_t> marks_;
    int markBits_ = 12;
    // Per place its points, when the tree follows the points.
    std::vector<unsigned> pointStart_, pointList_;

    std::vector<Item> items_, scratch_;
    std::vector<std::size_t> groupStart_;
    std::vector<char> undivided_;
    std::vector<int> groupOfPosition_;

    // Per place of the cell being partitioned (by its number in the cell):
    // its octant, and the first of its gathering (none for one sent
    // straight to its octant).
    std::vector<unsigned char> octant_;
    std::vector<unsigned> lead_;
    // Places in the order they were sent to octants; places held back; the
    // held-back ones that have close ones, and their gatherings in order.
    std::vector<unsigned> placed_, held_, near_, gathering_;
    std::vector<char> taken_;
    // Cells of the places with close ones: a hash of the grid's cells, each
    // a chain in order; stamps tell this use's entries from older ones.
    std::vector<Cell> cells_;
    std::vector<unsigned> chain_;
    int cellBits_ = 4;
    unsigned stamp_ = 0;
    // The points of one block, while a mean is summed.
    std::vector<unsigned> run_;
};

}  // namespace kessa
