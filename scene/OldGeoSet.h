// The geometry of a branch as older scene files store it: one set of shared
// arrays (positions, colours, normals, two texture-coordinate sets, strip
// lengths and indices) and a list of primitive records, each naming a range
// of those arrays with its own material settings. After the stream is read,
// each primitive becomes a triangle batch of the geometry branch that owns
// the set. Texture coordinates far from the origin are moved back, and
// branches whose batches are too large or too far stretched are listed for
// splitting by the next scene database's clean (BunchSplitter.h).
//
// Only read, never written. Sets named by polygon branches are kept until
// the next set is converted.
#pragma once

#include <vector>

#include "base/Streamable.h"
#include "scene/GeoBunch.h"

namespace kessa {

class GeometryBranch;

class OldGeoSet : public orvel::Streamable {
public:
    OldGeoSet() = default;
    ~OldGeoSet() override;

    // A polygon branch's reference to a set: the set is kept from then on.
    static void readWaiting(orvel::DataSource& in);
    // Sets kept, converted or waiting.
    static int keptCount();

    // 1 colours, 2 normals, 3 positions, 4 and 5 texture coordinates, 6
    // indices, 7 strip lengths (each a compact count and the elements as
    // they lie in memory); 10 the number of primitives, 11 one primitive; 20
    // the owner branch; 21 animation frames; 22 and 23 words passed over.
    // More primitives than announced throw std::logic_error("Bad geoset").
    void read(orvel::DataSource& in) override;
    // The conversion. A primitive whose ranges do not lie inside the arrays
    // is logged and left out.
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::GeoSet"; }
    void write(orvel::DataDest&) override {}

private:
    struct Primitive {
        orvel::Streamable* material = nullptr;
        orvel::Streamable* textures[2] = {nullptr, nullptr};
        int flags = 0;
        int stripEntries = 0;
        int vertexCount = 0;
        int firstVertex = 0;
    };

    static bool takeWaiting(void*, unsigned, orvel::Streamable* object);
    void readFrames(orvel::DataSource& in);
    void convert(const Primitive& primitive, int number);
    // Moves texture coordinates far from the origin back; marks the branch
    // for splitting when they stretch too far or the batch is too large.
    void repair(GeoBunch::texcoord_data& coords, GeoBunch& bunch);

    GeometryBranch* owner_ = nullptr;
    std::vector<unsigned> indices_;
    std::vector<GeoBunch::Float3> positions_;
    std::vector<GeoBunch::Color4> colours_;
    std::vector<GeoBunch::Float3> normals_;
    std::vector<GeoBunch::Float2> texCoords_[2];
    std::vector<int> strips_;
    std::vector<Primitive> primitives_;
    std::size_t filled_ = 0;
    bool counted_ = false;
    GeoBunch::FrameList frames_;
    // Where the next primitive's strip entries and indices begin.
    std::size_t stripCursor_ = 0, indexCursor_ = 0;
    bool converted_ = false;
};

}  // namespace kessa
