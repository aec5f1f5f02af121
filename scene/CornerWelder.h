// Welding of triangle corners: which corners of a triangle list stand for
// one position. Corners closer than a tolerance (8e-5 of the half-diagonal
// of the box around them) are one position, and so are corners chained to
// one another by such closeness where no cell of the octree can divide them.
//
// Corners at one position always travel together, so the octree is built
// over the distinct positions, sorted into cells centred at the mean of the
// corners they hold. A position within the tolerance of a cell's centre on
// any axis cannot be sent to a side safely: such straddlers are first
// gathered with every later straddler close to them, and each gathering
// goes to the side of its first one. A side whose positions all lie close
// to its first one is one group; any other is divided again. Cells are
// resolved from an explicit stack, so the depth of the tree costs no call
// stack.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/GeoBunch.h"

namespace kessa {

class CornerWelder {
public:
    // Gives each corner its position group: groupOf[i] for corner i, group
    // numbers from 0 up. Returns the number of groups. A side that cannot
    // be divided although its corners are not all close is logged as
    // "Safety...", one line per corner, and welded whole.
    int weld(const std::vector<GeoBunch::Float3>& corners, std::vector<int>& groupOf);

    double tolerance() const { return tolerance_; }

private:
    struct Cell {
        double centre[3];
        unsigned begin, end;  // the cell's corners in order_
    };

    void gatherPositions(const std::vector<GeoBunch::Float3>& corners);
    void resolve(const Cell& cell);
    // Gathers the straddlers of a cell: each one still free takes every
    // later free one close to it; their octants go to child_.
    void gatherStraddlers(const Cell& cell);
    void gatherByHash(const Cell& cell);
    bool close(unsigned a, unsigned b) const;
    int octant(unsigned corner, const double centre[3]) const;
    void closeSide(unsigned begin, unsigned end, unsigned parentCount);

    // The distinct positions in the order first met, the corners at each,
    // and each corner's position.
    std::vector<GeoBunch::Float3> positions_;
    std::vector<unsigned> weights_, positionOf_, table_;
    std::vector<int> groupOfPosition_;
    // The positions the octree sorts (positions_).
    const std::vector<GeoBunch::Float3>* corners_ = nullptr;
    int groups_ = 0;
    double tolerance_ = 0, tolerance2_ = 0;
    std::vector<Cell> stack_;
    std::vector<unsigned> order_, scratch_;
    // Per corner of the cell being resolved (by place in it): its octant,
    // or -1 while it waits on the straddle list.
    std::vector<int> child_;
    std::vector<unsigned> straddlers_;  // places in the cell, in order
    std::vector<unsigned> gathering_;
    std::vector<char> taken_;
    // The hash grid of large straddle lists: cells of the tolerance's size,
    // each a chain of straddlers in list order.
    struct Slot {
        std::uint64_t key;
        unsigned stamp;
        unsigned head;
    };
    std::vector<Slot> slots_;
    std::vector<unsigned> chain_;
    unsigned stamp_ = 0;
};

}  // namespace kessa
