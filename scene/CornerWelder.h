// Welding of triangle corners: which corners of a triangle list stand for
// one position. Corners closer than a tolerance (8e-5 of the half-diagonal
// of the box around them, strays left out: WeldTree::bulkBox) are one
// position, and so are corners chained to
// one another by such closeness where no cell of the octree can divide them
// (WeldTree.h). On every level of the tree a corner within the tolerance of
// a plane through the cell's centre is held back and gathered with the
// close corners after it.
//
// The tolerance follows the size of the whole geometry, which may be far
// larger than its triangles: a ribbon 1 wide and 40,000 long has one of
// 1.6. A corner of a triangle therefore welds only within half the
// shortest edge of each triangle at its place as well. Two corners of one
// triangle then never both lie close to a third, so a group whose corners
// all lie close to its first never holds both (one that no cell could
// divide may: the builder keeps their vertices apart). Triangles with no
// edge under twice the tolerance, nearly all, weld as they always did.
#pragma once

#include <vector>

#include "scene/GeoBunch.h"
#include "scene/WeldTree.h"

namespace kessa {

class CornerWelder {
public:
    // Gives each corner its position group: groupOf[i] for corner i, group
    // numbers from 0 up. Returns the number of groups. A side that cannot
    // be divided although its corners are not all close is logged as
    // "Safety...", one line per corner, and welded whole. With triangles
    // set, corners 3 i to 3 i + 2 are the corners of triangle i.
    int weld(const std::vector<GeoBunch::Float3>& corners, std::vector<int>& groupOf, bool triangles = false);

private:
    void logUndivided(int group) const;

    WeldTree tree_;
};

}  // namespace kessa
