// Building polygons in tests, and switching the polygon arenas for the
// length of a test.
#pragma once

#include <memory>
#include <vector>

#include "scene/MemoryOption.h"
#include "scene/Polygon.h"
#include "scene/Vector.h"

namespace kessa_test {

// Sets the arena switch; the switch is off again afterwards.
class ArenaSwitch {
public:
    explicit ArenaSwitch(bool on) {
        if (on)
            kessa::enablePolygonArena();
        else
            kessa::disablePolygonArena();
    }
    ~ArenaSwitch() { kessa::disablePolygonArena(); }
    ArenaSwitch(const ArenaSwitch&) = delete;
    ArenaSwitch& operator=(const ArenaSwitch&) = delete;
};

inline std::unique_ptr<kessa::PolygonVertex> vertexAt(const kessa::Vector& p) {
    std::unique_ptr<kessa::PolygonVertex> v(new kessa::PolygonVertex);
    const double xyz[3] = {p.x, p.y, p.z};
    v->setPosition(xyz);
    return v;
}

inline std::unique_ptr<kessa::Polygon> polygonOf(const std::vector<kessa::Vector>& corners) {
    std::unique_ptr<kessa::Polygon> p(new kessa::Polygon);
    for (const kessa::Vector& c : corners) {
        std::unique_ptr<kessa::PolygonVertex> v = vertexAt(c);
        p->addVertex(v);
    }
    return p;
}

}  // namespace kessa_test
