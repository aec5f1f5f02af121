// Splitting triangle batches of more than 1,400 triangles into trees of
// geometry branches holding smaller ones, so that culling can leave out the
// parts of large geometry that are out of sight.
#pragma once

namespace kessa {

class GeoBunchBuilder;
class GeometryBranch;
class GroupBranch;

// The most triangles a batch keeps once splitting has run.
constexpr int maxBunchTriangles = 1400;

// Splits the triangles into group (named "split <level>"): the half below
// the median of the triangles' centres along the box's longest axis and the
// rest, each a geometry branch with one batch when small enough, else a
// group split again one level deeper. The leaves take branch's hook.
void splitBunch(GeometryBranch& branch, GroupBranch& group, const GeoBunchBuilder& builder, int level);

// The end of a polygon branch's clean with the arena switch on: unless the
// branch has a traversal callback, its oversized batches without animation
// frames are split into a group that takes the branch's place in its parent
// (the branch goes into the group while it still holds batches, and is
// deleted otherwise); the geometry branch's clean runs, or the group's when
// there is one. A branch that is no group's child is not split.
void splitAfterClean(GeometryBranch& branch);

// Branches whose batches came from older geometry sets, split by the next
// scene database's clean. A branch is listed once; a branch being
// destroyed leaves the list.
void addPendingSplit(GeometryBranch* branch);
void forgetPendingSplit(GeometryBranch* branch);
bool isPendingSplit(const GeometryBranch* branch);
// Takes the listed branches from the last: rebuilds every batch but the
// animated ones, which stay as they are, and splits the branch as
// splitAfterClean does when a batch is oversized, the branch is no
// billboard and it has no traversal callback.
void splitPendingBranches();

}  // namespace kessa
