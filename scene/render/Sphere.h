// A tessellated sphere: the twenty faces of an icosahedron, each cut into
// rows of points pushed out onto the unit sphere. The sky draws its sun with
// one; the game draws its zone boundaries with them.
#pragma once

#include <vector>

#include "scene/Vector.h"

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

struct SphereRenderer {
    // Gives a sphere's faces their texture coordinates.
    class SphereVertexProcessor {
    public:
        explicit SphereVertexProcessor(int repeat) : repeat(repeat) {}
        virtual ~SphereVertexProcessor() = default;
        // Two coordinates per point of one face (the points are unit vectors,
        // so they are the normals too): u = repeat x the azimuth in turns and
        // v = (repeat div 2) x z, continuous across the azimuth seam, the
        // poles at the middle of the face's u range. Nothing when repeat < 1.
        virtual void process(const std::vector<Vector>& points, std::vector<float>& texCoords);

        // How often the texture wraps around the sphere.
        int repeat;
    };
};

class Sphere {
public:
    // Mode 0 draws a wire frame, 1 triangle strips, 2 strips with normals.
    enum Mode { wire = 0, solid = 1, lit = 2 };

    struct Face {
        int rows = 0;
        int mode = 0;
        // Row i holds i + 1 points and starts at i (i + 1) / 2.
        std::vector<Vector> points;
        // Two per point, or none.
        std::vector<float> texCoords;
    };

    // Cuts every face into rows (0 .. 256; others are held to that range with
    // a log line) and lets the processor, when given, add texture coordinates.
    void setRenderParameters(int mode, int rows, SphereRenderer::SphereVertexProcessor* processor);
    // Each row of each face as one strip. Without a mesh it logs and draws nothing.
    void render(pellium::GLRenderInfo& context) const;

    // Empty until setRenderParameters.
    const std::vector<Face>& faces() const { return mesh_; }
    // The icosahedron's corners, each face's three consistently wound.
    static void icosahedronFace(int face, Vector corners[3]);

    Vector centre;
    double radius = 1.0;
    // Kept for the owner; the sky sets it to the squared radius.
    double radiusSquared = 1.0;

private:
    std::vector<Face> mesh_;
};

}  // namespace kessa
