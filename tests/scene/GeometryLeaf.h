// A leaf branch that carries one triangle batch and hands it to the render
// accumulator when the walk visits it, as a geometry branch does. It travels
// in object streams under a type of the tests' own, registered beside the
// scene's types.
#pragma once

#include <memory>

#include "base/StreamReader.h"
#include "scene/Branch.h"
#include "scene/BranchRenderable.h"
#include "scene/BunchHolder.h"
#include "scene/GeoBunch.h"
#include "scene/GeoBunchInternals.h"
#include "scene/SceneStream.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa_test {

class GeometryLeaf : public kessa::Branch, public kessa::BranchRenderable, public kessa::BunchHolder {
public:
    GeometryLeaf() { setRenderable(this); }
    explicit GeometryLeaf(const orvel::ref_ptr<kessa::GeoBunch>& bunch) : GeometryLeaf() { setBunch(bunch); }
    ~GeometryLeaf() override { setBunch(nullptr); }

    void setBunch(const orvel::ref_ptr<kessa::GeoBunch>& bunch) {
        if (bunch_)
            bunch_->internals().setOwnerBranch(nullptr);
        bunch_ = bunch;
        if (bunch_)
            bunch_->internals().setOwnerBranch(this);
        markDirty();
    }
    kessa::GeoBunch* bunch() const { return bunch_.get(); }

    void clean() override {
        bounds_.clear();
        if (bunch_)
            bounds_ = bunch_->bounds();
        dirty_ = false;
    }
    void render(kessa::Traverser& t) override {
        if (bunch_)
            t.accumulator().addBunch(bunch_.get(), &t.modelview());
    }

    const kessa::Branch& holderBranch() const override { return *this; }
    kessa::BunchCallbacks* bunchCallbacks() const override { return nullptr; }
    // The leaf holds a count on its batch, which therefore never goes first.
    void forgetBunch(kessa::GeoBunch*) override {}

    // After the branch's block: 1 the batch (a reference), 0.
    void read(orvel::DataSource& in) override {
        kessa::Branch::read(in);
        while (unsigned tag = kessa::stream::nextTag(in))
            if (tag == 1)
                kessa::stream::readHeldReference(in, bunch_);
    }
    void postRead() override {
        kessa::Branch::postRead();
        if (bunch_)
            bunch_->internals().setOwnerBranch(this);
    }
    const char* typeName() const override { return "zanthorium::kessa_test::GeometryLeaf"; }
    void write(orvel::DataDest& out) override {
        kessa::Branch::write(out);
        kessa::stream::writeTag(out, 1);
        out.writeStreamable(bunch_.get());
        kessa::stream::writeTag(out, 0);
    }

    // The scene's types and this one, for StreamReader::read.
    static void registerAllTypes(orvel::DataSource& source) {
        kessa::registerTypes(source);
        StreamReader::addFactory(source, []() -> orvel::Streamable* { return new GeometryLeaf; });
    }

private:
    orvel::ref_ptr<kessa::GeoBunch> bunch_;
};

}  // namespace kessa_test
