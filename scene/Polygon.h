// One editable face of a polygon branch: a chain of vertices, a material
// binding, a lazily computed face normal and a few flags. Model readers and
// the patch tessellator build polygons vertex by vertex and hand them to a
// branch, which welds, links and compiles them into triangle batches.
//
// The chain is singly linked; a walk around the polygon takes the first
// vertex after the last (after()). A polygon owns its vertices. Polygons come
// in very large numbers, so while the polygon arena switch is on they are
// allocated from blocks of 3,000 (RecordArena.h).
#pragma once

#include <cstddef>
#include <memory>

#include "base/counted_ptr.h"
#include "scene/PolygonVertex.h"
#include "scene/render/Material.h"

namespace kessa {

class PolygonHolder;

class Polygon {
public:
    // Empty, bound to the default material with flags 1 and 0.
    Polygon() = default;
    // Frees every vertex.
    ~Polygon();
    Polygon(const Polygon&) = delete;
    Polygon& operator=(const Polygon&) = delete;

    static void* operator new(std::size_t size);
    static void operator delete(void* p);

    // Appends the vertex held by holder, which is emptied. A vertex that
    // belongs to a polygon already is refused: false, and the holder keeps it.
    bool addVertex(std::unique_ptr<PolygonVertex>& holder);
    // A polygon of no branch with this one's attribute, face normal, material
    // binding and copies of its vertices; its normal is stale and its smooth
    // byte set.
    std::unique_ptr<Polygon> clone() const;

    // A null material logs an error and binds the default one. Each setter
    // marks the holding branch dirty.
    void setMaterial(const orvel::counted_ptr<Material>& material);
    void setAttribute(unsigned attribute);
    // The first flag set makes rays hit the polygon from its front only.
    void setFirstMaterialFlag(unsigned char flag);
    void setSecondMaterialFlag(unsigned char flag);
    // Asks the branch to average this polygon's normals with its neighbours'
    // at its next clean.
    void setSmooth();

    // The unit face normal, recomputed first when vertices were added.
    const float* normal();
    void updateNormal();
    // Concave, or without a normal (fewer than three vertices, all on one
    // line, or a corner that is not finite, which is logged once): left out
    // of batches, bounds, triangle counts and neighbours.
    bool isUnusable();
    // Both recompute first when stale.
    bool isConcave();
    bool hasValidNormal();
    void deleteVertices();

    int vertexCount() const { return vertexCount_; }
    PolygonVertex* firstVertex() const { return first_; }
    PolygonVertex* lastVertex() const { return last_; }
    // The vertex after v going around the polygon.
    PolygonVertex* after(const PolygonVertex* v) const { return v->next_ ? v->next_ : first_; }
    const MaterialRef& binding() const { return binding_; }
    unsigned attribute() const { return attribute_; }
    bool smooth() const { return smooth_; }
    PolygonHolder* holder() const { return holder_; }

    // A free word for model readers.
    unsigned tag = 0;
    // Copied into the branch's edge list.
    unsigned char edgeFlag = 0;
    // The vertex colours matter: strips join only polygons whose shared
    // vertices have equal colours.
    unsigned char vertexColours = 0;
    // Scratch mark of strip and edge-list building.
    bool used = false;

    // Memory blocks of polygons holding at least one live polygon.
    static int liveBlocks();

private:
    friend class PolygonBranch;
    friend class PolygonVertex;

    void edited();
    // Normal, convexity and the branch's welding are stale.
    void cornerMoved();
    void computeNormal();

    bool normalValid_ = false;
    bool concave_ = false;
    bool normalStale_ = false;
    bool smooth_ = false;
    int vertexCount_ = 0;
    PolygonVertex* first_ = nullptr;
    PolygonVertex* last_ = nullptr;
    MaterialRef binding_;
    unsigned attribute_ = 0;
    float normal_[3] = {0, 0, 1};
    PolygonHolder* holder_ = nullptr;
};

}  // namespace kessa
