#include "scene/Patch.h"

#include "base/Debug.h"
#include "scene/PolygonBranch.h"
#include "scene/render/Material.h"

namespace kessa {

namespace {

const double bezierBasis[16] = {-1, 3, -3, 1, 3, -6, 3, 0, -3, 3, 0, 0, 1, 0, 0, 0};

const orvel::counted_ptr<Material>& patchMaterial() {
    static const orvel::counted_ptr<Material> material = [] {
        orvel::counted_ptr<Material> m(new Material(pellium::Color{1, 1, 1, 1}));
        m->setName("Patch");
        m->setLighting(true);
        return m;
    }();
    return material;
}

double dot4(const double a[4], const double b[4]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }

}  // namespace

Patch::Patch() {
    // Loaded through set, the basis is a general matrix, so every product
    // with it is the full 4 x 4 one: equal control points then give exactly
    // equal positions, which is how poles are found.
    basis_.set(bezierBasis);
}

void Patch::setControlPoints(const Vector points[16]) {
    for (int axis = 0; axis < 3; ++axis) {
        double g[16];
        for (int k = 0; k < 16; ++k)
            g[k] = points[k][axis];
        Matrix grid;
        grid.set(g);
        coefficients_[axis].multiply(basis_, grid);
        coefficients_[axis].multiply(coefficients_[axis], basis_);
    }
}

void Patch::setSubdivision(int n) {
    if (n < 1) {
        orvel::debug("kessa::Patch::setSubdivision() - n is zero or nagative!\n");
        return;
    }
    if (n > maxSubdivision) {
        orvel::debug("kessa::Patch::setSubdivision() - n is above %d!\n", maxSubdivision);
        return;
    }
    if (n == n_)
        return;
    n_ = n;
    std::size_t count = std::size_t(n + 1) * std::size_t(n + 1);
    positions_.assign(count, Vector());
    normals_.assign(count, Normal{0, 0, 1});
    texCoords_.assign(count, TexCoord{0, 0});
}

void Patch::evaluate() {
    if (n_ < 1)
        setSubdivision(5);
    const int n = n_;
    const double h = 1.0 / n;
    double u = 0;
    for (int i = 0; i <= n; ++i, u += h) {
        const double U[4] = {u * u * u, u * u, u, 1}, dU[4] = {3 * u * u, 2 * u, 1, 0};
        double w = 0;
        for (int j = 0; j <= n; ++j, w += h) {
            const double W[4] = {w * w * w, w * w, w, 1}, dW[4] = {3 * w * w, 2 * w, 1, 0};
            Vector p, alongW, alongU;
            for (int axis = 0; axis < 3; ++axis) {
                double wc[4], dwc[4];
                Matrix::transformPoint4(wc, W, coefficients_[axis]);
                Matrix::transformPoint4(dwc, dW, coefficients_[axis]);
                p[axis] = dot4(wc, U);
                alongW[axis] = dot4(dwc, U);
                alongU[axis] = dot4(wc, dU);
            }
            std::size_t at = std::size_t(i) * std::size_t(n + 1) + std::size_t(j);
            positions_[at] = p;
            // Unit normals, so that strips and welding can compare them by
            // cosine; zero stays zero, which marks a pole.
            Vector normal = alongU.cross(alongW);
            double length = normal.length();
            if (length > 0)
                normal *= 1 / length;
            normals_[at] = Normal{float(normal.x), float(normal.y), float(normal.z)};
            texCoords_[at] = TexCoord{float(w), float(u)};
        }
    }
}

void Patch::tessellate(PolygonBranch& branch, const orvel::counted_ptr<Material>& material) {
    evaluate();
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j)
            branch.addPolygon(cell(i, j, material));
}

std::unique_ptr<Polygon> Patch::cell(int i, int j, const orvel::counted_ptr<Material>& material) const {
    const std::size_t row = std::size_t(n_ + 1);
    const std::size_t corners[4] = {std::size_t(i) * row + std::size_t(j), std::size_t(i + 1) * row + std::size_t(j),
                                    std::size_t(i + 1) * row + std::size_t(j + 1),
                                    std::size_t(i) * row + std::size_t(j + 1)};
    std::unique_ptr<Polygon> polygon(new Polygon);
    polygon->setMaterial(material ? material : patchMaterial());
    bool leftOut = false;
    for (int k = 0; k < 4; ++k) {
        std::size_t at = corners[k];
        if (positions_[at] == positions_[corners[(k + 1) % 4]]) {
            leftOut = true;
            continue;
        }
        const Vector& p = positions_[at];
        const double position[3] = {p.x, p.y, p.z};
        const float normal[3] = {normals_[at].x, normals_[at].y, normals_[at].z};
        const float st[2] = {texCoords_[at].s, texCoords_[at].t};
        std::unique_ptr<PolygonVertex> v(new PolygonVertex);
        v->setPosition(position).setNormal(normal).setTexCoord(st, 0);
        polygon->addVertex(v);
    }
    if (leftOut) {
        const float* face = polygon->normal();
        for (PolygonVertex* v = polygon->firstVertex(); v; v = v->next()) {
            const float* n = v->normal();
            if (n[0] == 0 && n[1] == 0 && n[2] == 0)
                v->setNormal(face);
        }
    }
    return polygon;
}

}  // namespace kessa
