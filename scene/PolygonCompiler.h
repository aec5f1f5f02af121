// Compiling a polygon branch's polygons into triangle batches: one batch per
// material binding, in the order of each binding's first polygon, with the
// triangles of neighbouring polygons emitted in strip order.
#pragma once

namespace kessa {

class GeoBunchBuilder;
class PolygonBranch;

// Replaces the branch's batches by those compiled from its usable polygons
// (neighbours linked by its preparation). builder is the working collector.
// When the branch's object belongs to a database with a hook for batches,
// the branch is given that hook.
void compilePolygons(GeoBunchBuilder& builder, PolygonBranch& branch);

// Steps compiling has taken to try strips, over the whole process: places
// of strip paths laid out, walked and compared.
unsigned long stripSteps();

}  // namespace kessa
