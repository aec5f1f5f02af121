// Turns a batch's triangles back into loose ones: each triangle handed out by
// GeoBunchInternals::forEachTriangle becomes a triangle record of a
// GeoBunchBuilder, with the attributes the material uses. Flat-shaded
// materials show the last corner's normal and colour on the whole triangle,
// so every corner takes them.
//
// Only what the batch has is read: an attribute whose stream is missing or
// shorter keeps its default (normal (0, 0, 1), zero colour and texture
// coordinates), and a triangle naming a vertex past the vertex stream is
// logged as "Bad index" and left out.
#pragma once

#include "scene/GeoBunch.h"

namespace kessa {

class GeoBunchBuilder;
class Material;

class RawGeometryBuilder : public GeoBunch::TriangleProcessor {
public:
    RawGeometryBuilder(GeoBunchBuilder& target, const Material& material) : target_(target), material_(material) {}

    void processTriangle(GeoBunch& owner, unsigned a, unsigned b, unsigned c) override;
    // Triangles handed in, the ones left out included.
    int count() const { return count_; }

private:
    GeoBunchBuilder& target_;
    const Material& material_;
    int count_ = 0;
};

}  // namespace kessa
