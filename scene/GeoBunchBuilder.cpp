#include "scene/GeoBunchBuilder.h"

#include <algorithm>
#include <numeric>

#include "base/Debug.h"
#include "scene/GeoBunchInternals.h"
#include "scene/RawGeometryBuilder.h"

namespace kessa {

GeoBunchBuilder::GeoBunchBuilder(GeoBunch& bunch) : material(bunch.material()) {
    RawGeometryBuilder extractor(*this, *bunch.material().material());
    bunch.internals().forEachTriangle(extractor);
    orvel::debug("%d triangles extracted\n", extractor.count());
}

Bounds GeoBunchBuilder::bounds() const {
    Bounds b;
    if (triangles.empty())
        return b;
    const GeoBunch::Float3& p0 = triangles[0].corners[0].position;
    Vector lo(p0.x, p0.y, p0.z), hi = lo;
    for (const Triangle& t : triangles)
        for (const Corner& c : t.corners) {
            Vector p(c.position.x, c.position.y, c.position.z);
            for (int i = 0; i < 3; ++i) {
                lo[i] = std::min(lo[i], p[i]);
                hi[i] = std::max(hi[i], p[i]);
            }
        }
    b.set(lo, hi);
    return b;
}

void GeoBunchBuilder::translate(const Vector& offset) {
    for (Triangle& t : triangles)
        for (Corner& c : t.corners) {
            c.position.x = float(c.position.x + offset.x);
            c.position.y = float(c.position.y + offset.y);
            c.position.z = float(c.position.z + offset.z);
        }
}

void GeoBunchBuilder::splitInTwo(GeoBunchBuilder& first, GeoBunchBuilder& second) const {
    const std::size_t n = triangles.size();
    std::vector<Vector> mid(n);
    Vector lo(0, 0, 0), hi(0, 0, 0);
    for (std::size_t i = 0; i < n; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            const Corner* c = triangles[i].corners;
            auto at = [&](int k) { return double(axis == 0 ? c[k].position.x : axis == 1 ? c[k].position.y : c[k].position.z); };
            double a = std::min({at(0), at(1), at(2)}), b = std::max({at(0), at(1), at(2)});
            mid[i][axis] = (a + b) * 0.5;
        }
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = i == 0 ? mid[i][axis] : std::min(lo[axis], mid[i][axis]);
            hi[axis] = i == 0 ? mid[i][axis] : std::max(hi[axis], mid[i][axis]);
        }
    }
    Vector extent = hi - lo;
    int axis = extent.x > extent.y && extent.x > extent.z ? 0 : extent.y > extent.z ? 1 : 2;

    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return mid[a][axis] < mid[b][axis]; });

    // The targets may be this builder's own parts only through a copy.
    GeoBunchBuilder low, high;
    low.material = high.material = material;
    low.triangles.reserve(n / 2);
    high.triangles.reserve(n - n / 2);
    for (std::size_t i = 0; i < n; ++i)
        (i < n / 2 ? low : high).triangles.push_back(triangles[order[i]]);
    first = std::move(low);
    second = std::move(high);
}

}  // namespace kessa
