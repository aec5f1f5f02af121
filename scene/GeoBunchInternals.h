// What a triangle batch holds: its element streams with the first-element
// pointers GL is handed, its animation frames, the result of the last check,
// the cached triangle count, and the batch's place in a geometry branch.
//
// A batch is checked (verify) before it is first drawn, after it is read,
// and again before it is drawn after a stream was replaced (which also drops
// the vertex-array object built from the old ones): an invalid batch is never
// compiled nor drawn, so no array GL reads can be shorter than the strips,
// indices and vertex count say. The streams themselves can be edited in place
// by whoever holds them, so every step at which GL reads them (each draw from
// client arrays, building the vertex-array object, uploading what a hook
// changed) first runs the same checks on them as they stand, silently; one
// that fails is checked again by verify, logged once and not drawn. A
// vertex-array object draws from copies of checked streams and reads none.
//
// Stream block: 1 the valid byte; 2 the owner batch and branch (references,
// passed over when read: the batch that takes these internals is their owner,
// and the branch that lists the batch sets itself); 10 strips, 11 indices,
// 12 vertices, 13 colours, 14 normals (references); 15 the number of
// texture-coordinate slots (int32) and one reference per slot; 22 the frame
// count (compact), then per frame its position count (compact) and the
// positions as they lie in memory. Older streams carry a legacy material
// under 3 (flag word), 4 and 5 (int32 each), 20 (a material reference) and
// 21 (int32 count and texture references); after the read it becomes the
// batch's material.
#pragma once

#include <memory>

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "scene/GeoBunchStreams.h"

namespace pellium {
class VertexArray;
}

namespace kessa {

class BunchCallbacks;
class BunchHolder;
struct StorageStats;

class GeoBunchInternals : public orvel::Streamable {
public:
    // Internals of no batch yet (as the stream reader makes them).
    GeoBunchInternals();
    ~GeoBunchInternals() override;
    GeoBunchInternals(const GeoBunchInternals&) = delete;
    GeoBunchInternals& operator=(const GeoBunchInternals&) = delete;

    // Checks the streams against one another and returns the valid byte.
    // Every failure is logged as "GeoBunchInternals::verify() - " and its
    // text, followed by the batch's address and names when it is in a branch,
    // and checking goes on. Beyond the cached pointers and the index values,
    // the strips must fit in the indices (or vertices), every attribute
    // stream must cover every vertex and every frame must hold one position
    // per vertex.
    bool verify();
    // Fills the triangle-count cache when it holds no count.
    void countTriangles();
    // The batch's bounds: the box around every position of the vertex stream
    // and of every frame, and the smallest sphere around them centred in the
    // box; the box (-1, -1, -1) to (1, 1, 1) without positions.
    void computeBounds();
    // Calls the processor for every triangle, in the layout's order: a strip
    // (a, b, c) first, then alternately (b, a, c) and (a, b, c); a fan around
    // its first vertex; then the plain triangles.
    void forEachTriangle(GeoBunch::TriangleProcessor& processor);
    // The same walk handing each triangle to triangle(a, b, c), inlined for
    // the queries' tight loops; triangle returns false to end the walk.
    // Returns the positions the strips took. Nothing is checked against the
    // vertex count: callers that read vertices test the numbers they get.
    template <class F>
    unsigned walkTriangles(F&& triangle) const;
    // Blends the vertices between two frames: t from 0 to 1 runs through the
    // frames once; a negative t runs through -t of a loop that ends where it
    // began. Only while valid and with frames. A vertex-array object gets the
    // new vertices.
    void animate(float t);

    // Draws a valid batch with its vertices, compiling it first when it has
    // not been since its streams last changed; material and transform are
    // the caller's. GL errors are
    // logged, and the progress word is set before each step (30301 compile,
    // 30302 the branch's hook, 30303 uploading what the hook changed, 30304
    // drawing the vertex-array object, 30305 drawing from client arrays).
    void render();
    // Decides once how the batch is drawn: a valid batch of two triangles or
    // more goes into a vertex-array object while fullGLacceleration is set
    // (built for changing data when it has frames or the branch's hook changed
    // something); any other is drawn from client arrays.
    void compile();
    // Drops the vertex-array object: the next draw compiles again.
    void releaseVertexArray();
    bool compiled() const { return compiled_; }
    pellium::VertexArray* vertexArray() const { return vertexArray_.get(); }

    // Adds every batch alive to the storage record.
    static void forAll(StorageStats& stats);

    bool valid() const { return valid_; }
    // -1 until counted.
    int cachedTriangleCount() const { return triangleCount_; }
    // The plain triangles after the strips, as last counted.
    int plainTriangleCount() const { return plainTriangles_; }
    unsigned dirty() const { return dirty_; }
    void clearDirty() { dirty_ = 0; }

    GeoBunch* ownerBunch() const { return ownerBunch_; }
    BunchHolder* ownerBranch() const { return ownerBranch_; }
    // Set by the branch that lists the batch, cleared when it lets it go.
    void setOwnerBranch(BunchHolder* branch) { ownerBranch_ = branch; }

    // The streams, which their holders may edit in place: GL reads them only
    // once they pass the checks as they stand.
    const orvel::ref_ptr<GeoBunch::strip_data>& strips() const { return strips_; }
    const orvel::ref_ptr<GeoBunch::index_data>& indices() const { return indices_; }
    const orvel::ref_ptr<GeoBunch::vertex_data>& vertices() const { return vertices_; }
    const orvel::ref_ptr<GeoBunch::color_data>& colors() const { return colors_; }
    const orvel::ref_ptr<GeoBunch::normal_data>& normals() const { return normals_; }
    // Set 0 or 1.
    const orvel::ref_ptr<GeoBunch::texcoord_data>& texCoords(int set) const { return texCoords_[set & 1]; }
    const GeoBunch::FrameList& frames() const { return frames_; }

    // The first elements as GL takes them: null for a missing or empty stream.
    const GeoBunch::Float3* vertexPointer() const { return vertexPointer_; }
    const GeoBunch::Color4* colorPointer() const { return colorPointer_; }
    const GeoBunch::Float3* normalPointer() const { return normalPointer_; }
    const GeoBunch::Float2* texCoordPointer(int set) const { return texCoordPointer_[set & 1]; }

    // What an older stream said of the batch's material.
    struct Legacy {
        bool present = false;
        unsigned flags = 0;
        int value4 = 0;
        int value5 = 0;
    };
    const Legacy& legacy() const { return legacy_; }

    void read(orvel::DataSource& in) override;
    // Brings the cached pointers up to date and checks the batch; a batch
    // that fails the check stays invalid.
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::GeoBunchInternals"; }
    void write(orvel::DataDest& out) override;

private:
    friend class GeoBunch;

    void refreshPointers();
    void refreshVertexPointer();
    void refreshColorPointer();
    void refreshNormalPointer();
    void refreshTexCoordPointer(int set);
    void dropTriangleCount() { triangleCount_ = -1; }
    // A stream was replaced: checked and compiled again before the next draw.
    void streamsChanged();
    // Whether the streams as they stand pass every check of verify; logs
    // nothing and changes nothing.
    bool streamsSound() const;
    // Whether GL may read the streams now: checked since a stream was last
    // replaced and still sound as they stand. Otherwise they are checked
    // again by verify (counting the triangles afresh), which logs what fails.
    bool readyForGL();
    // The checks of verify in order, each failure's text handed to report.
    template <class Report>
    void check(Report&& report) const;
    // The vertices a strip length takes (n > 0 a strip of n, else a fan of
    // -n), without overflowing on the most negative length.
    static unsigned stripVertices(int n) { return n > 0 ? unsigned(n) : 0u - unsigned(n); }
    // Logs one failure of verify (or of setAnimation) and clears valid.
    void fail(const char* text);
    void setAnimation(const GeoBunch::FrameList& frames);
    // Number of positions the strips walk: indices, else vertices.
    unsigned layoutTotal() const;
    void readFrames(orvel::DataSource& in);
    void readTexCoordSlots(orvel::DataSource& in, bool take);
    void readLegacyTextures(orvel::DataSource& in);
    // The owner batch's material from the legacy block.
    void applyLegacyMaterial();
    // The branch's hook, when the batch is in a branch that has one.
    BunchCallbacks* hook() const;
    void buildVertexArray(bool dynamic);
    bool uploadDirtyArrays();
    void drawClientArrays();

    bool compiled_ = false;
    std::unique_ptr<pellium::VertexArray> vertexArray_;
    unsigned dirty_ = 0;
    Legacy legacy_;
    // Named by an older stream, for the read's postRead only (the reader may
    // let them go afterwards): a material or texture, or a counted record of one.
    orvel::Streamable* legacyMaterial_ = nullptr;
    orvel::Streamable* legacyTextures_[2] = {nullptr, nullptr};

    GeoBunch* ownerBunch_ = nullptr;
    BunchHolder* ownerBranch_ = nullptr;

    orvel::ref_ptr<GeoBunch::strip_data> strips_;
    orvel::ref_ptr<GeoBunch::index_data> indices_;
    orvel::ref_ptr<GeoBunch::vertex_data> vertices_;
    const GeoBunch::Float3* vertexPointer_ = nullptr;
    orvel::ref_ptr<GeoBunch::color_data> colors_;
    const GeoBunch::Color4* colorPointer_ = nullptr;
    orvel::ref_ptr<GeoBunch::normal_data> normals_;
    const GeoBunch::Float3* normalPointer_ = nullptr;
    orvel::ref_ptr<GeoBunch::texcoord_data> texCoords_[2];
    const GeoBunch::Float2* texCoordPointer_[2] = {nullptr, nullptr};

    GeoBunch::FrameList frames_;

    bool valid_ = true;
    // valid_ tells of the streams as they are now.
    bool checked_ = false;
    int triangleCount_ = -1;
    int plainTriangles_ = 0;
};

template <class F>
unsigned GeoBunchInternals::walkTriangles(F&& triangle) const {
    if (!vertices_)
        return 0;
    const unsigned* list = indices_ ? indices_->data() : nullptr;
    auto at = [list](unsigned i) { return list ? list[i] : i; };
    const unsigned total = layoutTotal();
    unsigned pos = 0;
    if (strips_) {
        for (int n : *strips_) {
            unsigned long long len = stripVertices(n);
            if (len > total - pos)
                return pos;
            const unsigned end = pos + unsigned(len);
            if (len >= 3) {
                unsigned a = at(pos), b = at(pos + 1);
                bool swapped = false;
                for (unsigned i = pos + 2; i < end; ++i) {
                    unsigned c = at(i);
                    if (n <= 0) {
                        if (!triangle(a, b, c))
                            return pos;
                        b = c;
                        continue;
                    }
                    if (!(swapped ? triangle(b, a, c) : triangle(a, b, c)))
                        return pos;
                    swapped = !swapped;
                    a = b;
                    b = c;
                }
            }
            pos = end;
        }
    }
    const unsigned strips = pos;
    if (list) {
        for (; total - pos >= 3; pos += 3)
            if (!triangle(list[pos], list[pos + 1], list[pos + 2]))
                break;
    } else {
        for (; total - pos >= 3; pos += 3)
            if (!triangle(pos, pos + 1, pos + 2))
                break;
    }
    return strips;
}

}  // namespace kessa
