// Loose triangles, each corner with its own position, normal, colour and
// two texture-coordinate pairs, and the material they are drawn with. Model
// readers collect them here; GeometryBranch::addTriangles and
// GeoBunch::setTriangles turn them into a batch with one vertex per distinct
// corner. Callers append to triangles and set material directly.
#pragma once

#include <vector>

#include "scene/Bounds.h"
#include "scene/GeoBunch.h"
#include "scene/render/Material.h"

namespace kessa {

class GeoBunchBuilder {
public:
    // Eleven 32-bit values.
    struct Corner {
        GeoBunch::Float3 position;
        GeoBunch::Float3 normal;
        GeoBunch::Color4 colour;
        GeoBunch::Float2 texCoords[2];
    };
    struct Triangle {
        Corner corners[3];
    };

    // No triangles, the default material with the one-sided flag set.
    GeoBunchBuilder() = default;
    // Every triangle of the batch with the attributes its material uses, and
    // the batch's material (see RawGeometryBuilder).
    explicit GeoBunchBuilder(GeoBunch& bunch);

    // Keeps the storage.
    void clear() { triangles.clear(); }
    // The box around every corner; empty without triangles.
    Bounds bounds() const;
    void translate(const Vector& offset);
    // Orders the triangles along the axis on which the midpoints of their
    // boxes spread most (ties go to the later axis) and gives the first half
    // (rounded down) to first, the rest to second, with this material. Both
    // lose what they held.
    void splitInTwo(GeoBunchBuilder& first, GeoBunchBuilder& second) const;

    std::vector<Triangle> triangles;
    MaterialRef material;
};

}  // namespace kessa
