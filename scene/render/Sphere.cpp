#include "scene/render/Sphere.h"

#include <algorithm>
#include <cmath>

#include "base/Debug.h"
#include "gui/gl/GLdraw.h"

namespace kessa {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int maxRows = 256;

// The corners scaled so that their two non-zero values are 3.618... and
// 5.854... (in the golden ratio); every point is normalised anyway.
constexpr double a = 3.618033988749895, b = 5.854101966249685;
const Vector corners[12] = {{-a, b, 0}, {a, b, 0},  {-a, -b, 0}, {a, -b, 0}, {0, -a, b},  {0, a, b},
                            {0, -a, -b}, {0, a, -b}, {b, 0, -a},  {b, 0, a},  {-b, 0, -a}, {-b, 0, a}};
// Counter-clockwise seen from outside.
const int faceCorners[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};

}  // namespace

void SphereRenderer::SphereVertexProcessor::process(const std::vector<Vector>& points, std::vector<float>& texCoords) {
    const int n = repeat;
    if (n < 1)
        return;
    const int k = n / 2;
    texCoords.assign(points.size() * 2, 0.0f);
    double smallest = 1000, largest = -1000;
    int pole = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const Vector& p = points[i];
        if (std::fabs(p.x) < 0.001 && std::fabs(p.y) < 0.001) {
            // The south pole lies at the bottom of the texture like every
            // other point of that hemisphere.
            texCoords[2 * i] = float(k + 0.5);
            texCoords[2 * i + 1] = float(p.z < 0 ? -k : k);
            pole = int(i);
            continue;
        }
        double turn = std::atan2(p.x, p.y) / (2 * pi);
        smallest = std::min(smallest, turn);
        largest = std::max(largest, turn);
        texCoords[2 * i] = float(n * turn);
        texCoords[2 * i + 1] = float(k * p.z);
    }
    // A face across the seam: its far side continues past 1 instead of
    // jumping back to the start of the texture.
    if (smallest < -0.4 && largest > 0.4) {
        for (size_t i = 0; i < points.size(); ++i)
            if (texCoords[2 * i] < 0)
                texCoords[2 * i] += float(n);
        smallest += 1.0;
    }
    if (pole >= 0)
        texCoords[2 * size_t(pole)] = float((largest + smallest) * n * 0.5);
}

void Sphere::icosahedronFace(int face, Vector out[3]) {
    for (int c = 0; c < 3; ++c)
        out[c] = corners[faceCorners[face][c]];
}

void Sphere::setRenderParameters(int mode, int rows, SphereRenderer::SphereVertexProcessor* processor) {
    if (rows < 0 || rows > maxRows) {
        orvel::debug("Sphere::setRenderParameters(): %d rows held to 0..%d\n", rows, maxRows);
        rows = std::clamp(rows, 0, maxRows);
    }
    mesh_.assign(20, Face());
    for (int f = 0; f < 20; ++f) {
        Face& face = mesh_[size_t(f)];
        face.rows = rows;
        face.mode = mode;
        Vector c[3];
        icosahedronFace(f, c);
        face.points.reserve(size_t(rows + 1) * size_t(rows + 2) / 2);
        for (int i = 0; i <= rows; ++i) {
            double t = rows ? double(i) / rows : 0;
            Vector A = c[0] + (c[2] - c[0]) * t, B = c[0] + (c[1] - c[0]) * t;
            for (int j = 0; j <= i; ++j) {
                Vector p = i ? A + (B - A) * (double(j) / i) : c[0];
                Vector::normalize(p);
                face.points.push_back(p);
            }
        }
        if (processor)
            processor->process(face.points, face.texCoords);
    }
}

void Sphere::render(pellium::GLRenderInfo&) const {
    if (mesh_.empty()) {
        orvel::debug("Tried to render a sphere without calling Sphere::setRenderParameters()!\n");
        return;
    }
    for (const Face& face : mesh_) {
        if (face.mode < wire || face.mode > lit)
            continue;
        const bool textured = face.mode != wire && !face.texCoords.empty();
        for (int i = 0; i < face.rows; ++i) {
            // Row i + 1 and row i alternately; row i is one point shorter.
            const size_t upper = size_t(i) * size_t(i + 1) / 2, lower = upper + size_t(i) + 1;
            pellium::beginPrimitive(face.mode == wire ? 2 : 5);
            for (size_t j = 0; j < 2 * size_t(i) + 3; ++j) {
                const size_t index = j % 2 ? upper + j / 2 : lower + j / 2;
                const Vector& p = face.points[index];
                if (face.mode == lit) {
                    const float normal[3] = {float(p.x), float(p.y), float(p.z)};
                    pellium::normal3fv(normal);
                }
                if (textured)
                    pellium::texCoord2f(face.texCoords[2 * index], face.texCoords[2 * index + 1]);
                Vector v = centre + p * radius;
                pellium::vertex3f(float(v.x), float(v.y), float(v.z));
            }
            pellium::endPrimitive();
        }
    }
}

}  // namespace kessa
