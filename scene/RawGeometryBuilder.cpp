#include "scene/RawGeometryBuilder.h"

#include "base/Debug.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeoBunchInternals.h"

namespace kessa {

namespace {

// The element of a stream that covers vertex v, or null.
template <class Stream>
auto element(const orvel::ref_ptr<Stream>& stream, unsigned v) -> decltype(stream->data()) {
    return stream && v < stream->size() ? stream->data() + v : nullptr;
}

}  // namespace

void RawGeometryBuilder::processTriangle(GeoBunch& owner, unsigned a, unsigned b, unsigned c) {
    ++count_;
    const GeoBunchInternals& in = owner.internals();
    const unsigned vertices = unsigned(owner.vertexCount());
    const unsigned v[3] = {a, b, c};
    bool bad = false;
    for (unsigned i : v) {
        if (i >= vertices) {
            orvel::debug("Bad index\n");
            bad = true;
        }
    }
    if (bad)
        return;

    GeoBunchBuilder::Triangle t = {};
    for (int k = 0; k < 3; ++k) {
        GeoBunchBuilder::Corner& corner = t.corners[k];
        corner.position = (*in.vertices())[v[k]];
        corner.normal = {0, 0, 1};
        if (material_.vertexColours())
            if (const GeoBunch::Color4* colour = element(in.colors(), v[k]))
                corner.colour = *colour;
        if (material_.vertexNormals())
            if (const GeoBunch::Float3* normal = element(in.normals(), v[k]))
                corner.normal = *normal;
        for (int set = 0; set < 2; ++set)
            if (material_.usesTexCoords(set))
                if (const GeoBunch::Float2* coords = element(in.texCoords(set), v[k]))
                    corner.texCoords[set] = *coords;
    }
    if (!material_.smoothShading()) {
        for (int k = 0; k < 2; ++k) {
            t.corners[k].normal = t.corners[2].normal;
            t.corners[k].colour = t.corners[2].colour;
        }
    }
    target_.triangles.push_back(t);
}

}  // namespace kessa
