#include "scene/PolygonBranch.h"

#include <algorithm>

#include "base/Debug.h"
#include "base/StreamReader.h"
#include "scene/BunchSplitter.h"
#include "scene/GeoBunchBuilder.h"
#include "scene/MemoryOption.h"
#include "scene/OldGeoSet.h"
#include "scene/PolygonCompiler.h"
#include "scene/SceneStream.h"

namespace kessa {

PolygonBranch::~PolygonBranch() { deletePolygons(); }

void PolygonBranch::deletePolygons() {
    std::vector<Polygon*> doomed;
    doomed.swap(polygons_);
    for (Polygon* p : doomed) {
        p->holder_ = nullptr;
        delete p;
    }
    welded_.clear();
    edges_.clear();
    triangleCount_ = 0;
}

void PolygonBranch::polygonSetChanged() {
    markDirty();
    edges_.clear();
    welded_.clear();
}

void PolygonBranch::addPolygon(std::unique_ptr<Polygon> polygon) {
    if (!polygon)
        return;
    Polygon* p = polygon.release();
    if (p->holder_) {
        p->holder_->forgetPolygon(p);
        orvel::debug("Warning: Polygon had an owner and was removed from that branch!\n");
    }
    p->holder_ = this;
    polygons_.push_back(p);
    triangleCount_ = 0;
    polygonSetChanged();
}

std::unique_ptr<Polygon> PolygonBranch::removePolygon(int position) {
    if (position < 0 || std::size_t(position) >= polygons_.size() || polygons_[std::size_t(position)]->holder_ != this) {
        orvel::debug("Warning: Tried to remove a polygon which isn't in this branch!\n");
        return nullptr;
    }
    Polygon* p = polygons_[std::size_t(position)];
    p->holder_ = nullptr;
    polygonSetChanged();
    polygons_.erase(polygons_.begin() + position);
    return std::unique_ptr<Polygon>(p);
}

void PolygonBranch::forgetPolygon(Polygon* polygon) {
    auto it = std::find(polygons_.begin(), polygons_.end(), polygon);
    if (it == polygons_.end())
        return;
    polygon->holder_ = nullptr;
    polygonSetChanged();
    polygons_.erase(it);
}

void PolygonBranch::polygonChanged() { polygonSetChanged(); }

void PolygonBranch::markDirty() {
    if (!isDirty())
        GeometryBranch::markDirty();
}

void PolygonBranch::clean() {
    if (!isDirty())
        return;
    if (polygons_.empty()) {
        GeometryBranch::clean();
        return;
    }
    deleteBunches();
    prepare();
    GeoBunchBuilder builder;
    compilePolygons(builder, *this);
    if (!optionFlag()) {
        GeometryBranch::clean();
        return;
    }
    deletePolygons();
    // May put a group in this branch's place and release this branch: the
    // last thing done here.
    splitAfterClean(*this);
}

void PolygonBranch::prepare() {
    computeBoundsAndCount();
    weld();
    linkNeighbours();
    smooth();
    buildEdges();
}

void PolygonBranch::render(Traverser& traverser) {
    if (!bunches().empty())
        GeometryBranch::render(traverser);
}

void PolygonBranch::registerTypes(orvel::DataSource& source) {
    registerCreators(source);
    StreamReader::addFactory(source, []() -> orvel::Streamable* { return new OldGeoSet; });
}

void PolygonBranch::read(orvel::DataSource& in) {
    GeometryBranch::read(in);
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            OldGeoSet::readWaiting(in);
            break;
        case 10:
            in.readUInt32();
            break;
        case 11:
            in >> triangleCount_;
            break;
        case 12:
            setBillboardMode(in.readInt32());
            break;
        case 13:
            in.readByte();
            break;
        default:
            break;
        }
    }
}

void PolygonBranch::write(orvel::DataDest& out) {
    GeometryBranch::write(out);
    stream::writeTag(out, 0);
}

}  // namespace kessa
