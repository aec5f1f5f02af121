// Geometry too large for one batch, as a tree of branches: the triangles are
// split in two (GeoBunchBuilder::splitInTwo) until no part has more than
// leafTriangles (at least 1); each part becomes a geometry branch with one
// batch, each split a group of its two halves. Splits go by count, so they
// end for any input, also when the triangles' midpoints all coincide.
#pragma once

#include <cstddef>
#include <memory>

#include "scene/Branch.h"

namespace kessa {

class GeoBunchBuilder;

std::unique_ptr<Branch> splitIntoBranches(const GeoBunchBuilder& builder, std::size_t leafTriangles);

}  // namespace kessa
