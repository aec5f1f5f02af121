// A triangle batch: the unit of drawable, collidable geometry. One set of
// per-vertex arrays and a description of how the vertices form triangles,
// kept in an owned GeoBunchInternals. Every array is a reference-counted
// stream object of its own (GeoBunchStreams.h), so that batches can share
// arrays and an object stream writes a shared array once.
//
// How vertices form triangles (drawing, counting, enumeration and collision
// all follow it): the strip stream is read in order; a length n > 0 is a
// triangle strip of n vertices, n <= 0 a fan of -n. Strips and fans take
// consecutive positions of the index list, or consecutive vertices when
// there is no index list. What is left after them is plain triangles, three
// positions each. A batch without strips is all plain triangles. Strips and
// fans of fewer than three vertices make no triangle but use their vertices.
#pragma once

#include <memory>
#include <vector>

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "scene/Bounds.h"
#include "scene/BranchCollidable.h"
#include "scene/ElementArray.h"
#include "scene/render/Material.h"

namespace kessa {

class BunchHolder;
class GeoBunchBuilder;
class GeoBunchInternals;

// The private heaps of geometry arrays, each made on first use: colours,
// normals, texture coordinates and animation frames have one each; strips,
// indices and positions share the general one.
orvel::Heap& generalGeometryHeap();
orvel::Heap& colorHeap();
orvel::Heap& normalHeap();
orvel::Heap& texCoordHeap();
orvel::Heap& frameHeap();

class GeoBunch : public orvel::Refcountable, public orvel::Streamable {
public:
    struct Float3 {
        float x, y, z;
    };
    struct Float2 {
        float s, t;
    };
    // A packed colour: its bytes in memory order.
    struct Color4 {
        unsigned char r, g, b, a;
    };
    // One position per vertex of the vertex stream.
    using Frame = ElementArray<Float3, frameHeap>;
    using FrameList = std::vector<Frame>;

    // The element streams (GeoBunchStreams.h).
    class RefStrm;
    class strip_data;
    class index_data;
    class vertex_data;
    class normal_data;
    class color_data;
    class texcoord_data;

    // Called by GeoBunchInternals::forEachTriangle for each triangle: vertex
    // numbers without an index stream, index-list entries with one.
    class TriangleProcessor {
    public:
        virtual ~TriangleProcessor() = default;
        virtual void processTriangle(GeoBunch& owner, unsigned a, unsigned b, unsigned c) = 0;
    };

    // Bits of the dirty word: what a hook changed in place since the arrays
    // were last handed to GL.
    enum DirtyBits : unsigned {
        dirtyVertices = 1u << 0,
        dirtyColors = 1u << 1,
        dirtyNormals = 1u << 2,
        dirtyTexCoords0 = 1u << 16,
        dirtyTexCoords1 = 1u << 17,
    };

    // Empty, with the default material and empty bounds; joins the
    // process-wide list of batches.
    GeoBunch();
    // Leaves the branch that lists it and the process-wide list.
    ~GeoBunch() override;
    GeoBunch(const GeoBunch&) = delete;
    GeoBunch& operator=(const GeoBunch&) = delete;

    // Elements of the vertex stream, 0 without one.
    int vertexCount() const;
    // Counted once and cached until the strips, indices or vertices change.
    int triangleCount();

    void addFlags(unsigned word);
    unsigned flags() const;

    // Replaces the animation frames. Each frame lists positions in its own
    // order; frame 0 is matched to the vertex stream (each vertex takes the
    // frame-0 position equal to it, else the nearest), and every frame is
    // stored in vertex order through that match. Frames of another size than
    // frame 0, or an empty frame 0, are refused: logged, the batch made
    // invalid, no frames kept. Nothing happens without vertices or frames.
    void setAnimation(const FrameList& frames);
    FrameList& animationFrames();

    // The stream setters refresh what the internals cache about their stream;
    // the batch is checked, and compiled, again before its next draw.
    void setStripData(orvel::ref_ptr<strip_data> strips);
    void setIndexData(orvel::ref_ptr<index_data> indices);
    // Frames of another vertex count are dropped; the bounds are recomputed
    // when asked.
    void setVertexData(orvel::ref_ptr<vertex_data> vertices, bool recomputeBounds);
    void setColorData(orvel::ref_ptr<color_data> colors);
    void setNormalData(orvel::ref_ptr<normal_data> normals);
    // Set 0 or 1; another set is ignored.
    void setTexcoordData(orvel::ref_ptr<texcoord_data> coords, int set);
    // Rebuilds the batch from loose triangles: the builder's material, one
    // vertex per distinct corner (corners welded by position within a
    // tolerance and by matching attributes), an index list of three per
    // triangle, and only the per-vertex arrays the material uses. Triangles
    // without area are left out, and so are those with a corner that is not
    // finite (with one log line). Every stream the build does not make is
    // dropped, so no strip list or attribute array of the old geometry
    // outlives it; a list without a triangle of any area changes nothing
    // but the material.
    void setTriangles(const GeoBunchBuilder& builder);

    // The nearest triangle the ray crosses (edges and corners do not count)
    // nearer than hit.distance: true, with hit.distance lowered to it. With
    // anyHit the first triangle crossed ends the test and hit is left as it
    // was. A batch whose material's first flag is set is one-sided: hit only
    // by rays travelling against a triangle's winding normal.
    bool intersectRay(const Ray& ray, RayHit& hit, bool anyHit) const;
    // Appends every triangle whose corners do not all lie beyond one face of
    // the box; a two-sided batch (first flag 0) appends each once more with
    // the other winding. Returns the vertex references walked: the strips'
    // lengths, and with an index list the indices of plain triangles.
    unsigned gatherTriangles(const Bounds& box, TriangleVector& out) const;

    // Write access to the slots themselves. Nothing is refreshed: a stream
    // replaced through a slot is seen by verify as not set properly until a
    // setter or a read refreshes it. As with a setter, the batch is checked
    // again before its next draw.
    orvel::ref_ptr<vertex_data>& vertexDataSlot();
    // Null for a set other than 0 or 1.
    orvel::ref_ptr<texcoord_data>* texcoordDataSlot(int set);

    // Where a render accumulator last grouped the items that draw this
    // batch: the index of the group in its frame, a hint it checks before
    // use. Kept here, beside the material the accumulator reads anyway, so
    // that gathering a batch touches no other record.
    int accumulatorGroup = -1;

    // The material and its flags (the first is the one-sided flag of ray
    // tests and collision gathering). A batch read from a current stream has
    // the default material: the record does not carry one.
    MaterialRef& material() { return material_; }
    const MaterialRef& material() const { return material_; }

    const Bounds& bounds() const { return bounds_; }
    void setBounds(const Bounds& b) { bounds_ = b; }
    GeoBunchInternals& internals() const { return *internals_; }

    // Every batch alive, in the order made.
    static GeoBunch* first();
    GeoBunch* next() const { return next_; }

    // Registers the internals and the six element streams.
    void registerTypes(orvel::DataSource& source) override;
    // Block: 1 the internals (a reference), 2 the bounds.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::GeoBunch"; }
    void write(orvel::DataDest& out) override;

private:
    friend class GeoBunchInternals;

    static bool adoptInternals(void* bunch, unsigned, orvel::Streamable* object);

    MaterialRef material_;
    std::unique_ptr<GeoBunchInternals> internals_;
    Bounds bounds_;
    GeoBunch* prev_ = nullptr;
    GeoBunch* next_ = nullptr;
};

}  // namespace kessa
