#include "scene/Teapot.h"

#include <memory>

#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/Patch.h"
#include "scene/PolygonBranch.h"
#include "scene/TeapotPatches.h"
#include "scene/render/Material.h"

namespace kessa {

orvel::counted_ptr<Object> makeTeapot(int subdivision, const orvel::counted_ptr<Material>& material) {
    orvel::counted_ptr<Object> teapot(new Object);
    teapot->setName("Teapot");
    orvel::counted_ptr<Material> surface = material;
    if (!surface) {
        surface = orvel::counted_ptr<Material>(new Material(Material::Color{1, 1, 1, 1}));
        surface->setName("Teapot");
        surface->setLighting(true);
    }
    auto group = std::make_unique<GroupBranch>();
    group->setName("teapot");
    auto polygons = std::make_unique<PolygonBranch>();
    polygons->setName("teapot");
    Patch patch;
    patch.setSubdivision(subdivision);
    const Vector* points = teapotControlPoints();
    for (int p = 0; p < teapotPatchCount; ++p) {
        patch.setControlPoints(points + 16 * p);
        patch.tessellate(*polygons, surface);
    }
    group->addChild(std::move(polygons));
    teapot->attach(std::move(group));
    for (int i = 0; i < 8; ++i)
        teapot->points().push_back(Vector(i & 4 ? -0.2 : 0.2, i & 2 ? -0.2 : 0.2, i & 1 ? -0.2 : 0.2));
    return teapot;
}

}  // namespace kessa
