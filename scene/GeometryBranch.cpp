#include "scene/GeometryBranch.h"

#include <algorithm>
#include <cmath>

#include "base/StreamReader.h"
#include "scene/BunchSplitter.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/Matrix.h"
#include "scene/Ray.h"
#include "scene/SceneStream.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa {

GeometryBranch::GeometryBranch() {
    setRenderable(this);
    setCollidable(this);
}

GeometryBranch::~GeometryBranch() {
    forgetPendingSplit(this);
    deleteBunches();
}

void GeometryBranch::letGo(GeoBunch* bunch) {
    if (bunch->internals().ownerBranch() == this)
        bunch->internals().setOwnerBranch(nullptr);
    bunch->unref();
}

void GeometryBranch::addBunch(orvel::ref_ptr<GeoBunch> bunch) {
    if (!bunch)
        return;
    bunch->ref();
    bunches_.push_back(bunch.get());
    bunch->internals().setOwnerBranch(this);
    growBounds(bunch->bounds());
}

void GeometryBranch::addTriangles(const GeoBunchBuilder& builder) {
    if (builder.triangles.empty())
        return;
    orvel::ref_ptr<GeoBunch> bunch(new GeoBunch);
    bunch->setTriangles(builder);
    addBunch(bunch);
}

void GeometryBranch::deleteBunches() {
    while (!bunches_.empty()) {
        GeoBunch* last = bunches_.back();
        bunches_.pop_back();
        letGo(last);
    }
}

// The batch is being destroyed: its count is gone already.
void GeometryBranch::forgetBunch(GeoBunch* bunch) {
    bunches_.erase(std::remove(bunches_.begin(), bunches_.end(), bunch), bunches_.end());
}

void GeometryBranch::setCullTree(std::unique_ptr<CullTree> tree) {
    cullTree_ = std::move(tree);
    if (cullTree_)
        cullTree_->markTaken();
}

void GeometryBranch::clean() {
    Branch::clean();
    bounds_.clear();
    for (GeoBunch* bunch : bunches_) {
        bunch->internals().computeBounds();
        bounds_.extend(bunch->bounds());
    }
    if (bounds_.valid() && (billboardMode_ == turnAboutZ || billboardMode_ == faceViewer)) {
        Vector low = bounds_.min(), high = bounds_.max();
        widenForTurns(low, high);
        bounds_.set(low, high);
    }
}

void GeometryBranch::widenForTurns(Vector& low, Vector& high) const {
    const int merged = billboardMode_ == turnAboutZ ? 2 : billboardMode_ == faceViewer ? 3 : 0;
    double lo = low[0], hi = high[0];
    for (int i = 1; i < merged; ++i)
        lo = std::min(lo, low[i]), hi = std::max(hi, high[i]);
    for (int i = 0; i < merged; ++i)
        low[i] = lo, high[i] = hi;
}

void GeometryBranch::traverse(Traverser& traverser) {
    if (billboardMode_ != turnAboutZ && billboardMode_ != faceViewer) {
        Branch::traverse(traverser);
        return;
    }
    Matrix turn, back;
    if (billboardMode_ == turnAboutZ) {
        // Where the walk's origin (the viewer) lies in this branch's frame.
        Vector viewer = traverser.inverseModelview().translation();
        turn.setRotation(std::atan2(viewer.x, -viewer.y) * 180 / 3.141592653589793, Vector(0, 0, 1));
    } else {
        // Undoes everything above but the translation to this place.
        turn = traverser.inverseModelview();
        turn.preTranslate(traverser.modelview().translation());
    }
    turn.invert(back);
    traverser.pushTransform(turn, back);
    Branch::traverse(traverser);
    traverser.popTransform();
}

void GeometryBranch::render(Traverser& traverser) {
    for (GeoBunch* bunch : bunches_)
        traverser.accumulator().addBunch(bunch, &traverser.modelview());
}

void GeometryBranch::update() {
    for (GeoBunch* bunch : bunches_)
        bunch->internals().compile();
}

bool GeometryBranch::intersectRay(const Ray& ray, RayHit& hit, bool anyHit, BunchFilter* filter) {
    hit.distance = ray.length;
    bool found = false;
    for (GeoBunch* bunch : bunches_) {
        if (filter && filter->skip(*bunch))
            continue;
        if (bunch->intersectRay(ray, hit, anyHit)) {
            hit.bunch = bunch;
            hit.word = 0;
            found = true;
            if (anyHit)
                break;
        }
    }
    return found;
}

unsigned GeometryBranch::gatherTriangles(const Bounds& box, TriangleVector& out, BunchFilter* filter) {
    unsigned walked = 0;
    for (GeoBunch* bunch : bunches_)
        if (!filter || !filter->skip(*bunch))
            walked += bunch->gatherTriangles(box, out);
    return walked;
}

void GeometryBranch::registerCreators(orvel::DataSource& source) {
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new CullTree; });
}

// Taken in the order listed; a reference to nothing or to another kind is
// left out, so the list has no empty entries.
bool GeometryBranch::takeBunch(void* branch, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<GeometryBranch*>(branch);
    auto* bunch = dynamic_cast<GeoBunch*>(object);
    if (!bunch)
        return false;
    bunch->ref();
    self->bunches_.push_back(bunch);
    return true;
}

bool GeometryBranch::takeCullTree(void* branch, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<GeometryBranch*>(branch);
    auto* tree = dynamic_cast<CullTree*>(object);
    if (!tree || tree->taken() || self->cullTree_)
        return false;
    self->setCullTree(std::unique_ptr<CullTree>(tree));
    return true;
}

void GeometryBranch::read(orvel::DataSource& in) {
    Branch::read(in);
    if (!in.good() || in.peekByte() != 10)
        return;
    bool listed = false;
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 10: {
            const std::vector<unsigned>& ids = in.readReferenceIds();
            if (!listed)
                for (std::size_t i = 0; i < ids.size(); ++i)
                    if (ids[i] != 0)
                        in.addReference(ids[i], this, &takeBunch, orvel::DataSource::Hold::own, unsigned(i));
            listed = true;
            break;
        }
        case 11:
            stream::readHeldReference(in, callbacks_);
            break;
        case 12:
            stream::readOwnedReference(in, this, &takeCullTree);
            break;
        case 13:
            in >> billboardMode_;
            break;
        default:
            break;
        }
    }
}

void GeometryBranch::postRead() {
    Branch::postRead();
    for (GeoBunch* bunch : bunches_)
        bunch->internals().setOwnerBranch(this);
}

void GeometryBranch::write(orvel::DataDest& out) {
    Branch::write(out);
    stream::writeTag(out, 10);
    out << bunches_;
    stream::writeTag(out, 11);
    out.writeStreamable(callbacks_.get());
    stream::writeTag(out, 12);
    out.writeStreamable(cullTree_.get());
    stream::writeTag(out, 13);
    out << billboardMode_;
    stream::writeTag(out, 0);
}

}  // namespace kessa
