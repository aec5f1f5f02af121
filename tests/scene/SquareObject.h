// A white square of side 2 in the xz plane, centred on the object's origin:
// it faces a camera that looks along +y.
#pragma once

#include <memory>

#include "tests/scene/SceneTest.h"
#include "scene/GeometryBranch.h"
#include "scene/Object.h"

namespace kessa_test {

inline std::unique_ptr<kessa::Object> squareObject() {
    orvel::ref_ptr<kessa::GeoBunch> b(new kessa::GeoBunch);
    b->setVertexData(positions({{-1, 0, -1}, {1, 0, -1}, {-1, 0, 1}, {1, 0, 1}}), true);
    b->setStripData(strips({4}));
    auto branch = std::make_unique<kessa::GeometryBranch>();
    branch->addBunch(b);
    auto o = std::make_unique<kessa::Object>();
    o->attach(std::move(branch));
    o->clean();
    return o;
}

}  // namespace kessa_test
