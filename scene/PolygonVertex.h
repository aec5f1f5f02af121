// One corner of a polygon: position, colour, normal and two pairs of texture
// coordinates, with the links a polygon branch keeps while it welds, links
// neighbours and builds edges. A vertex belongs to at most one polygon, which
// frees it.
//
// Vertices come in very large numbers, so while the polygon arena switch is
// on they are allocated from blocks of 100,000 (RecordArena.h).
#pragma once

#include <cstddef>

namespace kessa {

class Polygon;

class PolygonVertex {
public:
    // At the origin, opaque white, normal (0, 0, 1), texture coordinates 0.
    PolygonVertex() = default;
    // Copies position, colour, normal and texture coordinates; the copy
    // belongs to no polygon and has none of the branch's links.
    PolygonVertex(const PolygonVertex& other);
    PolygonVertex& operator=(const PolygonVertex&) = delete;

    static void* operator new(std::size_t size);
    static void operator delete(void* p);

    // Each setter stores its value and marks the branch that holds the
    // vertex's polygon dirty; they return the vertex, so calls chain. A new
    // position makes the polygon's normal and convexity, and the branch's
    // welding, stale too.
    PolygonVertex& setPosition(const double p[3]);
    PolygonVertex& setColour(unsigned rgba);
    PolygonVertex& setNormal(const float n[3]);
    // Unit 0 or 1; another unit is ignored.
    PolygonVertex& setTexCoord(const float st[2], int unit);

    const double* position() const { return position_; }
    // Red in the low byte, alpha in the high one.
    unsigned colour() const { return colour_; }
    const float* normal() const { return normal_; }
    const float* texCoord(int unit) const { return texCoords_[unit & 1]; }
    Polygon* owner() const { return owner_; }
    // The next vertex of the chain, null after the last (see Polygon::after).
    PolygonVertex* next() const { return next_; }

    // Kept through flat-normal copying, and not given a smoothed normal
    // found at another vertex of its ring (its own turn still smooths it).
    bool normalLocked = false;

    // The polygon branch's working links, rebuilt at each of its cleans.
    // The edge that starts here in the branch's edge list, -1 for none.
    int edgeIndex = -1;
    // The welded position in the branch's position list, -1 for none.
    int weldIndex = -1;
    // A number given by the step that keeps a list on the side: the place
    // in the ring while neighbours are linked, and among the vertices of
    // one binding's polygons, polygon by polygon, while strips are compiled.
    int number = -1;
    // The next vertex of the ring of vertices welded to one position.
    PolygonVertex* samePosition = nullptr;
    // The vertex that starts the opposite half-edge in the adjacent polygon.
    PolygonVertex* neighbour = nullptr;
    // Mark of smoothing and edge-list building.
    bool visited = false;

    // Memory blocks of vertices holding at least one live vertex.
    static int liveBlocks();

private:
    friend class Polygon;

    void edited();

    double position_[3] = {0, 0, 0};
    unsigned colour_ = 0xFFFFFFFF;
    float normal_[3] = {0, 0, 1};
    float texCoords_[2][2] = {{0, 0}, {0, 0}};
    Polygon* owner_ = nullptr;
    PolygonVertex* next_ = nullptr;
};

}  // namespace kessa
