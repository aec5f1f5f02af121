// One bicubic Bezier patch of 16 control points, evaluated on a regular grid
// and cut into polygons: a working object that is filled, tessellated into a
// polygon branch and thrown away. The built-in teapot is made of these.
//
// Grid point (i, j), 0 <= i, j <= n, lies at parameters u = i/n and w = j/n;
// the control point of row r and column c is weighted by the Bernstein
// polynomial r of w and c of u.
#pragma once

#include <memory>
#include <vector>

#include "base/counted_ptr.h"
#include "scene/Matrix.h"
#include "scene/Vector.h"

namespace kessa {

class Material;
class Polygon;
class PolygonBranch;

class Patch {
public:
    struct Normal {
        float x, y, z;
    };
    struct TexCoord {
        float s, t;
    };

    Patch();

    // 16 points row by row: point 4r + c is row r, column c.
    void setControlPoints(const Vector points[16]);
    // The finest subdivision: a grid of 1,025 x 1,025 points, a million
    // polygons in a branch for each patch tessellated.
    static constexpr int maxSubdivision = 1024;
    // A subdivision below 1 or above maxSubdivision is refused with a log
    // line and changes nothing.
    void setSubdivision(int n);
    // -1 until set.
    int subdivision() const { return n_; }

    // Fills the grid from the control points, with n = 5 when no subdivision
    // was set. Normals are of unit length, or zero where the patch has no
    // direction (at a pole). Texture coordinates are (w, u).
    void evaluate();
    // At index i * (n + 1) + j, as of the last evaluate.
    const std::vector<Vector>& positions() const { return positions_; }
    const std::vector<Normal>& normals() const { return normals_; }
    const std::vector<TexCoord>& texCoords() const { return texCoords_; }

    // The polygon of grid cell (i, j), corners (i, j), (i + 1, j),
    // (i + 1, j + 1), (i, j + 1), bound to material (null: the process-wide
    // "Patch" material). A corner at the same position as the next one is
    // left out, which makes cells at a pole triangles; their corners without
    // a normal take the face normal.
    std::unique_ptr<Polygon> cell(int i, int j, const orvel::counted_ptr<Material>& material) const;
    // Evaluates the grid and appends its n x n cells to the branch.
    void tessellate(PolygonBranch& branch, const orvel::counted_ptr<Material>& material);

private:
    int n_ = -1;
    std::vector<Vector> positions_;
    std::vector<Normal> normals_;
    std::vector<TexCoord> texCoords_;
    // The cubic Bezier basis; symmetric, so it is its own transpose.
    Matrix basis_;
    // B G B per axis, G the control points' coordinates on that axis.
    Matrix coefficients_[3];
};

}  // namespace kessa
