#include "scene/LodBranch.h"

#include <cmath>

#include "scene/Matrix.h"
#include "scene/SceneStream.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa {

namespace {

bool crossFading = true;

}  // namespace

void LodBranch::setFading(bool on) { crossFading = on; }

bool LodBranch::fading() { return crossFading; }

void LodBranch::setRange(double r) {
    range_ = r;
    rangeSquared_ = r * r;
    markDirty();
}

void LodBranch::read(orvel::DataSource& in) {
    GroupBranch::read(in);
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> fade_;
            break;
        case 2:
            in >> range_ >> rangeSquared_;
            break;
        case 3:
            // The chain is rebuilt from the parent's children.
            stream::skipReference(in);
            stream::skipReference(in);
            break;
        default:
            break;
        }
    }
}

void LodBranch::write(orvel::DataDest& out) {
    GroupBranch::write(out);
    stream::writeTag(out, 1);
    out << fade_;
    stream::writeTag(out, 2);
    out << range_ << rangeSquared_;
    stream::writeTag(out, 3);
    out.writeLink(previous_).writeLink(next_);
    stream::writeTag(out, 0);
}

void LodBranch::traverse(Traverser& traverser) {
    if (previous_)
        return;
    bool fadingOn = crossFading && traverser.mode() == 0;

    const Matrix& modelview = traverser.modelview();
    Vector p;
    Matrix::transformPoint(p, bounds_.centre(), modelview);
    // Distances shrink with the modelview's scale; a scale near 1 is taken
    // as it is.
    double s = modelview.row(1).lengthSquared();
    double k = s >= 0.99 && s <= 1.01 ? s : 1 / std::sqrt(s);
    double d = (traverser.referencePoint() - p).lengthSquared() * traverser.lodFactor() * k;

    double lower = 0;
    for (LodBranch* n = this; n; n = n->next_) {
        double fadeLow = 1, fadeHigh = 1;
        if (fadingOn && n->fade_) {
            fadeLow = 0.9;
            fadeHigh = n->next_ ? 1.1 : 1.2;
        }
        double upper = n->rangeSquared_ * fadeHigh;
        if (lower <= d && d < upper) {
            n->show(traverser, d, fadeLow, upper);
            return;
        }
        lower = upper;
    }
}

void LodBranch::show(Traverser& traverser, double d, double fadeLow, double upper) {
    double r = rangeSquared_;
    double fadeStart = fadeLow * r;
    if (d < fadeStart) {
        GroupBranch::traverse(traverser);
        return;
    }
    RenderAccumulator& accumulator = traverser.accumulator();
    accumulator.pushOverrideState(RenderAccumulator::ordered);
    if (d < r) {
        // Fading in the next level over this one.
        if (next_) {
            accumulator.pushTransparency(float((d - fadeStart) / (r - fadeStart)));
            accumulator.pushOverrideState(RenderAccumulator::noDepthWrite);
            next_->GroupBranch::traverse(traverser);
            accumulator.popOverrideState();
            accumulator.popTransparency();
        }
        GroupBranch::traverse(traverser);
    } else {
        // Past the range: the next level is whole and this one fades out.
        if (next_) {
            accumulator.pushOverrideState(RenderAccumulator::noDepthWrite);
            next_->GroupBranch::traverse(traverser);
            accumulator.popOverrideState();
        }
        accumulator.pushTransparency(float(1 - (d - r) / (upper - r)));
        GroupBranch::traverse(traverser);
        accumulator.popTransparency();
    }
    accumulator.popOverrideState();
}

}  // namespace kessa
