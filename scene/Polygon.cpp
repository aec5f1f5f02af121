#include "scene/Polygon.h"

#include <cmath>

#include "base/Debug.h"
#include "scene/PolygonHolder.h"
#include "scene/RecordArena.h"
#include "scene/Vector.h"

namespace kessa {

namespace {

static_assert(alignof(Polygon) <= alignof(void*), "arena slots are aligned as pointers");

RecordArena& arena() {
    static RecordArena polygons(sizeof(Polygon), 3000);
    return polygons;
}

Vector positionOf(const PolygonVertex* v) {
    const double* p = v->position();
    return {p[0], p[1], p[2]};
}

}  // namespace

Polygon::~Polygon() { deleteVertices(); }

void* Polygon::operator new(std::size_t) { return arena().allocate(); }

void Polygon::operator delete(void* p) { RecordArena::release(p); }

int Polygon::liveBlocks() { return arena().liveBlocks(); }

void Polygon::edited() {
    if (holder_)
        holder_->polygonEdited();
}

bool Polygon::addVertex(std::unique_ptr<PolygonVertex>& holder) {
    if (!holder || holder->owner_)
        return false;
    PolygonVertex* v = holder.release();
    v->next_ = nullptr;
    v->owner_ = this;
    if (last_)
        last_->next_ = v;
    else
        first_ = v;
    last_ = v;
    ++vertexCount_;
    normalStale_ = true;
    if (holder_)
        holder_->polygonChanged();
    return true;
}

std::unique_ptr<Polygon> Polygon::clone() const {
    std::unique_ptr<Polygon> copy(new Polygon);
    copy->attribute_ = attribute_;
    for (int i = 0; i < 3; ++i)
        copy->normal_[i] = normal_[i];
    copy->binding_ = binding_;
    for (const PolygonVertex* v = first_; v; v = v->next_) {
        std::unique_ptr<PolygonVertex> corner(new PolygonVertex(*v));
        copy->addVertex(corner);
    }
    copy->setSmooth();
    return copy;
}

void Polygon::setMaterial(const orvel::counted_ptr<Material>& material) {
    if (!material)
        orvel::debug("Error - tried to set Polygon's material to NULL\n");
    binding_.setMaterial(material);
    edited();
}

void Polygon::setAttribute(unsigned attribute) {
    attribute_ = attribute;
    edited();
}

void Polygon::setFirstMaterialFlag(unsigned char flag) {
    binding_.first = flag;
    edited();
}

void Polygon::setSecondMaterialFlag(unsigned char flag) {
    binding_.second = flag;
    edited();
}

void Polygon::setSmooth() {
    smooth_ = true;
    edited();
}

const float* Polygon::normal() {
    updateNormal();
    return normal_;
}

void Polygon::updateNormal() {
    if (!normalStale_)
        return;
    normalStale_ = false;
    computeNormal();
}

bool Polygon::isUnusable() {
    updateNormal();
    return concave_ || !normalValid_;
}

bool Polygon::isConcave() {
    updateNormal();
    return concave_;
}

bool Polygon::hasValidNormal() {
    updateNormal();
    return normalValid_;
}

void Polygon::deleteVertices() {
    PolygonVertex* v = first_;
    first_ = last_ = nullptr;
    vertexCount_ = 0;
    while (v) {
        PolygonVertex* next = v->next_;
        delete v;
        v = next;
    }
}

void Polygon::cornerMoved() {
    normalStale_ = true;
    if (holder_)
        holder_->polygonChanged();
}

void Polygon::computeNormal() {
    // Everything derived from the corners is derived anew.
    normalValid_ = false;
    concave_ = false;
    if (vertexCount_ < 3)
        return;
    // Newell's method: exact for planar polygons, a best fit for others, and
    // twice the area in length.
    Vector sum;
    for (const PolygonVertex* a = first_; a; a = a->next_) {
        Vector p = positionOf(a), q = positionOf(after(a));
        sum.x += (p.y - q.y) * (p.z + q.z);
        sum.y += (p.z - q.z) * (p.x + q.x);
        sum.z += (p.x - q.x) * (p.y + q.y);
    }
    double length = sum.length();
    // A corner that is not finite, or one so far out that the products
    // overflow, gives no direction either.
    if (!std::isfinite(length)) {
        orvel::debug("Polygon has a corner that is not finite or too far out - left out\n");
        return;
    }
    if (length == 0)
        return;
    Vector unit(sum.x / length, sum.y / length, sum.z / length);
    normal_[0] = float(unit.x);
    normal_[1] = float(unit.y);
    normal_[2] = float(unit.z);
    if (!binding_->smoothShading())
        for (PolygonVertex* v = first_; v; v = v->next_)
            if (!v->normalLocked)
                v->setNormal(normal_);
    if (vertexCount_ > 3) {
        // A corner that turns against the normal makes the polygon concave.
        for (const PolygonVertex* b = first_; b; b = b->next_) {
            const PolygonVertex* c = after(b);
            Vector pc = positionOf(c);
            Vector turn = (positionOf(after(c)) - pc).cross(positionOf(b) - pc);
            if (turn.dot(sum) < 0) {
                concave_ = true;
                break;
            }
        }
    }
    normalValid_ = true;
}

}  // namespace kessa
