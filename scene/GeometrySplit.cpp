#include "scene/GeometrySplit.h"

#include "scene/GeoBunchBuilder.h"
#include "scene/GeometryBranch.h"
#include "scene/GroupBranch.h"

namespace kessa {

std::unique_ptr<Branch> splitIntoBranches(const GeoBunchBuilder& builder, std::size_t leafTriangles) {
    if (builder.triangles.size() <= leafTriangles || builder.triangles.size() < 2) {
        auto leaf = std::make_unique<GeometryBranch>();
        leaf->addTriangles(builder);
        return leaf;
    }
    GeoBunchBuilder first, second;
    builder.splitInTwo(first, second);
    auto group = std::make_unique<GroupBranch>();
    group->addChild(splitIntoBranches(first, leafTriangles));
    first = GeoBunchBuilder();
    group->addChild(splitIntoBranches(second, leafTriangles));
    return group;
}

}  // namespace kessa
