// Building a batch from loose triangles: corners welded into shared
// vertices, and texture coordinates far from the origin moved by whole
// tiles of 50 so that they keep their precision in floats.
#include <cmath>
#include <vector>

#include "base/Debug.h"
#include "scene/CornerMatcher.h"
#include "scene/CornerWelder.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeoBunchInternals.h"

namespace kessa {

namespace {

using Corner = GeoBunchBuilder::Corner;
using Triangle = GeoBunchBuilder::Triangle;

// Twice the area, squared, below which a triangle has none (from its
// Newell normal).
bool degenerate(const Triangle& t) {
    double n[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const GeoBunch::Float3& a = t.corners[i].position;
        const GeoBunch::Float3& b = t.corners[(i + 1) % 3].position;
        n[0] += (double(a.y) - b.y) * (double(a.z) + b.z);
        n[1] += (double(a.z) - b.z) * (double(a.x) + b.x);
        n[2] += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    return n[0] * n[0] + n[1] * n[1] + n[2] * n[2] < 1e-18;
}

// A corner at no real place: welding would stretch its tolerance over
// the whole batch, or gather every other corner into its cell.
bool outOfSpace(const Triangle& t) {
    for (const Corner& c : t.corners)
        if (!std::isfinite(c.position.x) || !std::isfinite(c.position.y) || !std::isfinite(c.position.z))
            return true;
    return false;
}

// The whole tiles of 50 a coordinate around average a is moved by. Far
// out (or at no number) a float has no whole tiles left to move by, and the
// count would not fit an int: such coordinates stay as they are.
int tileShift(double a) {
    if (!(std::fabs(a) < 1e9))
        return 0;
    if (a > 25)
        return int((a + 25) * -0.02);
    if (a < -25)
        return int((a - 25) * -0.02);
    return 0;
}

using Shift = CornerMatcher::Shift;

// The shifts of one triangle's texture-coordinate set: none while both
// ranges reach into [-25, 25].
Shift shiftOf(const Triangle& tri, int set) {
    float lo[2], hi[2];
    double sum[2] = {0, 0};
    for (int k = 0; k < 3; ++k) {
        const GeoBunch::Float2& c = tri.corners[k].texCoords[set];
        const float v[2] = {c.s, c.t};
        for (int i = 0; i < 2; ++i) {
            lo[i] = k == 0 ? v[i] : std::fmin(lo[i], v[i]);
            hi[i] = k == 0 ? v[i] : std::fmax(hi[i], v[i]);
            sum[i] += v[i];
        }
    }
    Shift shift;
    if (hi[0] >= -25 && lo[0] <= 25 && hi[1] >= -25 && lo[1] <= 25)
        return shift;
    shift.s = tileShift(sum[0] / 3);
    shift.t = tileShift(sum[1] / 3);
    return shift;
}

template <class Stream>
orvel::ref_ptr<Stream> newStream(bool wanted) {
    orvel::ref_ptr<Stream> s;
    if (wanted) {
        s = new Stream;
        s->reserve(128);
    }
    return s;
}

}  // namespace

void GeoBunch::setTriangles(const GeoBunchBuilder& builder) {
    material_ = builder.material;
    const Material& material = *material_.material();
    CornerMatcher::Uses uses;
    uses.normals = material.vertexNormals();
    uses.colours = material.vertexColours();
    for (int set = 0; set < 2; ++set)
        uses.sets[set] = material.usesTexCoords(set);

    std::vector<const Triangle*> nodes;
    nodes.reserve(builder.triangles.size());
    int outside = 0;
    for (const Triangle& t : builder.triangles) {
        if (outOfSpace(t))
            ++outside;
        else if (!degenerate(t))
            nodes.push_back(&t);
    }
    if (outside > 0)
        orvel::debug("GeoBunch::setTriangles() - %d triangles with a corner that is not finite left out\n", outside);
    if (nodes.empty())
        return;
    const std::size_t n = nodes.size();

    std::vector<Shift> shifts(2 * n);
    for (std::size_t i = 0; i < n; ++i)
        for (int set = 0; set < 2; ++set)
            if (uses.sets[set])
                shifts[2 * i + set] = shiftOf(*nodes[i], set);

    std::vector<Float3> positions(3 * n);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
            positions[3 * i + k] = nodes[i]->corners[k].position;
    std::vector<int> groupOf;
    const int groups = CornerWelder().weld(positions, groupOf, true);
    positions = std::vector<Float3>();

    orvel::ref_ptr<vertex_data> vertices = newStream<vertex_data>(true);
    orvel::ref_ptr<index_data> indices(new index_data);
    indices->reserve(unsigned(3 * n));
    orvel::ref_ptr<color_data> colours = newStream<color_data>(uses.colours);
    orvel::ref_ptr<normal_data> normals = newStream<normal_data>(uses.normals);
    orvel::ref_ptr<texcoord_data> coords[2] = {newStream<texcoord_data>(uses.sets[0]),
                                               newStream<texcoord_data>(uses.sets[1])};

    CornerMatcher sharing(uses, nodes, shifts, groupOf, groups);
    std::vector<unsigned> vertexOf(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const Shift* shift = &shifts[2 * i];
        for (int k = 0; k < 3; ++k) {
            const int id = int(3 * i) + k;
            const Corner& corner = nodes[i]->corners[k];
            // A corner never takes the vertex of another corner of its own
            // triangle: a chain of corners no cell could divide is one
            // group, whatever triangles it crosses.
            const int found = sharing.earlier(id);
            unsigned vertex;
            if (found >= 0 && (k < 1 || vertexOf[found] != vertexOf[id - 1]) &&
                (k < 2 || vertexOf[found] != vertexOf[id - 2])) {
                vertex = vertexOf[found];
            } else {
                vertex = vertices->size();
                vertices->push_back(corner.position);
                if (colours)
                    colours->push_back(corner.colour);
                if (normals)
                    normals->push_back(corner.normal);
                for (int set = 0; set < 2; ++set)
                    if (coords[set])
                        coords[set]->push_back({corner.texCoords[set].s + 50.0f * float(shift[set].s),
                                                corner.texCoords[set].t + 50.0f * float(shift[set].t)});
            }
            vertexOf[id] = vertex;
            indices->push_back(vertex);
        }
    }

    setStripData(nullptr);
    setIndexData(indices);
    setVertexData(vertices, true);
    setColorData(colours);
    setNormalData(normals);
    setTexcoordData(coords[0], 0);
    setTexcoordData(coords[1], 1);
    internals_->verify();
    if (triangleCount() != int(n))
        orvel::debug("Wrong number of triangles!  (%d!=%d)\n", triangleCount(), int(n));
}

}  // namespace kessa
