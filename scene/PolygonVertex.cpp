#include "scene/PolygonVertex.h"

#include "scene/Polygon.h"
#include "scene/PolygonHolder.h"
#include "scene/RecordArena.h"

namespace kessa {

namespace {

static_assert(alignof(PolygonVertex) <= alignof(void*), "arena slots are aligned as pointers");

RecordArena& arena() {
    static RecordArena vertices(sizeof(PolygonVertex), 100000);
    return vertices;
}

}  // namespace

PolygonVertex::PolygonVertex(const PolygonVertex& other) : colour_(other.colour_) {
    for (int i = 0; i < 3; ++i) {
        position_[i] = other.position_[i];
        normal_[i] = other.normal_[i];
    }
    for (int unit = 0; unit < 2; ++unit)
        for (int i = 0; i < 2; ++i)
            texCoords_[unit][i] = other.texCoords_[unit][i];
}

void* PolygonVertex::operator new(std::size_t) { return arena().allocate(); }

void PolygonVertex::operator delete(void* p) { RecordArena::release(p); }

int PolygonVertex::liveBlocks() { return arena().liveBlocks(); }

void PolygonVertex::edited() {
    if (owner_)
        owner_->edited();
}

PolygonVertex& PolygonVertex::setPosition(const double p[3]) {
    for (int i = 0; i < 3; ++i)
        position_[i] = p[i];
    if (owner_)
        owner_->cornerMoved();
    return *this;
}

PolygonVertex& PolygonVertex::setColour(unsigned rgba) {
    colour_ = rgba;
    edited();
    return *this;
}

PolygonVertex& PolygonVertex::setNormal(const float n[3]) {
    for (int i = 0; i < 3; ++i)
        normal_[i] = n[i];
    edited();
    return *this;
}

PolygonVertex& PolygonVertex::setTexCoord(const float st[2], int unit) {
    if (unit != 0 && unit != 1)
        return *this;
    texCoords_[unit][0] = st[0];
    texCoords_[unit][1] = st[1];
    edited();
    return *this;
}

}  // namespace kessa
