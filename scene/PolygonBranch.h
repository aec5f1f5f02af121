// The editable geometry node: a geometry branch that keeps a list of
// polygons and, whenever it is cleaned while dirty, welds their vertices,
// links neighbouring polygons, smooths normals where asked, builds an edge
// list and compiles the polygons into its triangle batches. Drawing always
// goes through the batches; ray tests use the polygons while they exist.
//
// While the polygon arena switch is on, a clean that compiled deletes the
// polygons for good (the branch then behaves as a plain geometry branch) and
// splits batches of more than 1,400 triangles into a tree of smaller
// branches that takes the branch's place in its parent. Scene files carry
// only the batches.
#pragma once

#include <memory>
#include <vector>

#include "scene/GeometryBranch.h"
#include "scene/Polygon.h"
#include "scene/PolygonHolder.h"

namespace kessa {

class PolygonBranch : public GeometryBranch, public PolygonHolder {
public:
    // One record of the edge list: the vertex where the edge starts, then
    // the vertex that starts the opposite half-edge in the adjacent polygon
    // (or, on a border, the next vertex of the same polygon), and the edge
    // flags of the polygons along it.
    struct Edge {
        PolygonVertex* first;
        PolygonVertex* second;
        unsigned char flag;
    };

    PolygonBranch() = default;
    // Deletes every polygon.
    ~PolygonBranch() override;

    // Takes the polygon over. One that belongs to another branch is taken
    // out of that branch first, with a warning.
    void addPolygon(std::unique_ptr<Polygon> polygon);
    // Gives the polygon at position back to the caller; null, with a
    // warning, for one that is not this branch's.
    std::unique_ptr<Polygon> removePolygon(int position);
    const std::vector<Polygon*>& polygons() const { return polygons_; }
    // Triangles of the usable polygons, as of the last preparation.
    int triangleCount() const { return triangleCount_; }
    // One vertex per welded position; a vertex's weld index points here.
    const std::vector<PolygonVertex*>& weldedPositions() const { return welded_; }
    const std::vector<Edge>& edges() const { return edges_; }
    // Steps from vertex to vertex so far, round polygons and round the
    // vertices welded to one position, in preparing: tests compare it
    // between sizes to see that work grow with the polygons.
    long long vertexSteps() const { return vertexSteps_; }

    // Marks the branch dirty unless it is already.
    void markDirty() override;
    // When dirty and holding polygons: rebuilds the batches from them (see
    // above); without polygons only the geometry branch's clean runs, so
    // batches that cannot be rebuilt are never lost.
    void clean() override;
    // What clean does before compiling: the bounds and triangle count of the
    // usable polygons (billboards get their ranges merged), welding,
    // neighbours, smoothing and the edge list.
    void prepare();
    // Draws the batches, when there are any.
    void render(Traverser& traverser) override;
    // While polygons exist, the nearest (or any) usable polygon the ray meets
    // strictly inside, within its length, one-sided polygons only from their
    // front; hit.bunch stays null and hitPolygon() names it. Without
    // polygons the batches answer.
    bool intersectRay(const Ray& ray, RayHit& hit, bool anyHit, BunchFilter* filter) override;
    // The polygon of the last hit intersectRay reported from polygons.
    Polygon* hitPolygon() const { return hitPolygon_; }

    void polygonEdited() override { markDirty(); }
    void polygonChanged() override;
    void forgetPolygon(Polygon* polygon) override;

    // Registers the older geometry-set records.
    void registerTypes(orvel::DataSource& source) override;
    // After the geometry branch's block: 1 an older geometry set (converted
    // into batches of this branch as it is read), 10 a word passed over, 11
    // the triangle count, 12 the billboard mode, 13 a byte passed over.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::PolygonBranch"; }
    // The geometry branch's block and an empty one: polygons are never stored.
    void write(orvel::DataDest& out) override;

private:
    void polygonSetChanged();
    void computeBoundsAndCount();
    void weld();
    void linkNeighbours();
    void smooth();
    void buildEdges();
    void deletePolygons();

    std::vector<Polygon*> polygons_;
    int triangleCount_ = 0;
    std::vector<PolygonVertex*> welded_;
    std::vector<Edge> edges_;
    // Outcodes of the welded positions in the frame of the ray being tested.
    std::vector<int> outcodes_;
    Polygon* hitPolygon_ = nullptr;
    long long vertexSteps_ = 0;
};

}  // namespace kessa
