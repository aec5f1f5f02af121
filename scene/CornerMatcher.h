// Which vertex a corner of a batch being built shares. Corners welded to one
// position make one vertex when the attributes the material uses match:
// normals by angle, colours exactly, texture coordinates within a small
// distance and moved by the same tiles. A corner takes the vertex of the
// earliest corner of its position that it matches; attributes that are not
// finite, and normals of no length, match nothing.
//
// Matching is not transitive, but a corner matches itself, so the earliest
// earlier corner it matches is the earliest of all its position's corners
// it matches. Most positions hold corners that all match their first; the
// others are searched through a k-d tree over every corner of the position,
// built when the position first needs it, whose nodes know their earliest
// corner: one position with thousands of differing corners (the middle of a
// fan) costs a few steps per corner, not one per earlier corner.
#pragma once

#include <vector>

#include "scene/GeoBunchBuilder.h"

namespace kessa {

class CornerMatcher {
public:
    // The whole tiles of 50 one set of a triangle's texture coordinates is
    // moved by.
    struct Shift {
        int s = 0, t = 0;
    };
    // The attributes that a material makes part of a vertex.
    struct Uses {
        bool normals = false, colours = false, sets[2] = {false, false};
    };

    // Corner 3 i + k is corner k of triangles[i], moved by shifts[2 i] and
    // shifts[2 i + 1]; groupOf gives each corner's position.
    CornerMatcher(const Uses& uses, const std::vector<const GeoBunchBuilder::Triangle*>& triangles,
                  const std::vector<Shift>& shifts, const std::vector<int>& groupOf, int groups);

    // The earliest corner of the position of corner whose attributes match
    // its own, when that one comes before it; -1 when the corner makes a
    // vertex of its own. Corners are asked in order.
    int earlier(int corner);
    // Comparisons of a corner with another corner or with a node's box so
    // far: tests compare it between sizes to see matching grow with the
    // corners.
    long long comparisons() const { return comparisons_; }

private:
    static constexpr int maxDimensions = 12;
    struct Entry {
        double x[maxDimensions];
        int corner;
    };
    struct Node {
        int begin, end, low, high;
        // The entry of the earliest corner below the node.
        int earliest;
    };

    const GeoBunchBuilder::Corner& at(int corner) const { return triangles_[std::size_t(corner / 3)]->corners[corner % 3]; }
    const Shift* shiftsOf(int corner) const { return &shifts_[2 * std::size_t(corner / 3)]; }
    bool alone(int corner) const;
    bool matches(int a, int b) const;
    void place(int corner, double* x) const;
    void listMembers();
    int build(int begin, int end);
    bool mayMatch(const double* x, int node) const;
    int search(int corner, int root);

    Uses uses_;
    const std::vector<const GeoBunchBuilder::Triangle*>& triangles_;
    const std::vector<Shift>& shifts_;
    const std::vector<int>& groupOf_;
    // Per position: its earliest corner that matches anything, and the root
    // of its tree (-1 until built).
    std::vector<int> first_, root_;
    // The corners of each position in order, listed when a tree is first
    // needed.
    std::vector<int> memberStart_, members_;
    // Per dimension of a corner's place in the tree: which block of the
    // match it belongs to (0 normal, 1 and 2 the texture-coordinate sets, 3
    // what must be equal), and per block the squared distance allowed.
    int dimensions_ = 0;
    int block_[maxDimensions];
    double reach2_[4];
    std::vector<Entry> entries_;
    std::vector<Node> nodes_;
    // Per node the box of its entries: low corner, then high corner.
    std::vector<double> boxes_;
    std::vector<int> stack_;
    // Counted from the const comparisons.
    mutable long long comparisons_ = 0;
};

}  // namespace kessa
