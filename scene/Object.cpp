#include "scene/Object.h"

#include <stdexcept>

#include "base/Debug.h"
#include "scene/ExrefBranch.h"
#include "scene/KessaDatabaseReader.h"
#include "scene/SceneStream.h"
#include "scene/Branch.h"
#include "scene/Database.h"
#include "scene/InstanceBranch.h"
#include "scene/MemoryOption.h"
#include "scene/StreamNesting.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa {

namespace {

unsigned long tableSteps = 0;

}  // namespace

Object::~Object() {
    while (!instances_.empty()) {
        InstanceBranch* branch = instances_.back();
        if (!branch) {
            instances_.pop_back();
            continue;
        }
        if (branch->instance() != this) {
            // A destructor cannot throw: broken bookkeeping is logged instead.
            orvel::debug("%s\n", "Object::~Object() - the instances table is corrupt");
            instances_.pop_back();
            continue;
        }
        branch->setInstance(nullptr);
    }
    root_.reset();
}

void Object::attach(std::unique_ptr<Branch> root) {
    root_ = std::move(root);
    if (root_)
        root_->setOwner(this);
    markDirty();
}

std::vector<InstanceBranch*> Object::instances() const {
    std::vector<InstanceBranch*> bound;
    bound.reserve(instances_.size() - instanceGaps_);
    for (InstanceBranch* branch : instances_)
        if (branch)
            bound.push_back(branch);
    return bound;
}

unsigned long Object::instanceTableSteps() { return tableSteps; }

void Object::bindInstance(InstanceBranch* branch) {
    ++tableSteps;
    branch->tablePlace_ = instances_.size();
    instances_.push_back(branch);
}

bool Object::unbindInstance(InstanceBranch* branch) {
    ++tableSteps;
    const std::size_t place = branch->tablePlace_;
    if (place >= instances_.size() || instances_[place] != branch)
        return false;
    instances_[place] = nullptr;
    ++instanceGaps_;
    // Emptied from its end (as the destructor does), the table never closes up.
    while (!instances_.empty() && !instances_.back()) {
        instances_.pop_back();
        --instanceGaps_;
        ++tableSteps;
    }
    if (instanceGaps_ * 2 > instances_.size())
        closeInstanceGaps();
    return true;
}

void Object::closeInstanceGaps() {
    std::size_t kept = 0;
    for (InstanceBranch* branch : instances_) {
        ++tableSteps;
        if (branch) {
            branch->tablePlace_ = kept;
            instances_[kept++] = branch;
        }
    }
    instances_.resize(kept);
    instanceGaps_ = 0;
}

void Object::markDirty() {
    if (dirty_)
        return;
    dirty_ = true;
    for (std::size_t i = 0; i < instances_.size(); ++i)
        if (instances_[i])
            instances_[i]->markDirty();
    if (database_)
        database_->markDirty();
}

void Object::clean() {
    if (!dirty_)
        return;
    if (cleaning_) {
        orvel::debug("Object \"%.2000s\" shows itself - not cleaned again\n", name_.c_str());
        return;
    }
    cleaning_ = true;
    if (root_) {
        root_->clean();
        bounds_ = root_->bounds();
    } else {
        bounds_.clear();
    }
    if (optionFlag())
        std::vector<FrameRecord>().swap(frameTable_);
    dirty_ = false;
    cleaning_ = false;
}

void Object::traverse(Traverser& traverser) {
    if (!root_ || traversing_)
        return;
    traversing_ = true;
    bool animated = traverser.mode() == 0;
    if (animated)
        traverser.accumulator().pushAnimation(animation_);
    root_->traverse(traverser);
    if (animated)
        traverser.accumulator().popAnimation();
    traversing_ = false;
}

bool Object::apply(BranchProcessor& processor) { return root_ ? root_->apply(processor) : true; }

void Object::rootBoundsGrew(const Bounds& b) {
    bounds_ = b;
    if (growing_)
        return;
    growing_ = true;
    for (std::size_t i = 0; i < instances_.size(); ++i)
        if (instances_[i])
            instances_[i]->growBounds(bounds_);
    growing_ = false;
}

void Object::read(orvel::DataSource& in) {
    bool rootNamed = false;
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> name_;
            break;
        case 2:
            stream::skipReference(in);
            break;
        case 3:
            in >> dirty_;
            break;
        case 4:
            bounds_.read(in);
            break;
        case 10:
        case 11:
        case 12:
            // The instances table is rebuilt by the instance branches.
            in.readReferenceIds();
            break;
        case 13:
        case 14:
            throw std::logic_error("kessa::Object::read() - object \"" + std::string(name_.c_str()) +
                                   "\" uses a retired layout (tag " + std::to_string(tag) + ")");
        case 20:
            if (rootNamed)
                stream::skipReference(in);
            else
                stream::readOwnedReference(in, this, &takeRoot);
            rootNamed = true;
            break;
        case 21: {
            orvel_string file;
            in >> file;
            if (!in.good())
                break;
            readExternalDatabase(in, external_, file);
            externalName_ = external_ ? file : orvel_string();
            if (InstanceNesting* nesting = external_ ? InstanceNesting::of(in) : nullptr)
                nesting->addExternal(this);
            break;
        }
        default:
            break;
        }
    }
}

bool Object::takeRoot(void* object, unsigned, orvel::Streamable* branch) {
    auto* self = static_cast<Object*>(object);
    auto* root = dynamic_cast<Branch*>(branch);
    // An external database becomes the root in postRead.
    if (!root || self->external_)
        return false;
    if (!root->canBeAdopted()) {
        orvel::debug("!!!Object \"%.2000s\": a root that belongs elsewhere was dropped\n", self->name_.c_str());
        return false;
    }
    self->root_.reset(root);
    root->setOwner(self);
    return true;
}

void Object::postRead() {
    if (external_) {
        auto exref = std::make_unique<ExrefBranch>();
        exref->setTarget(external_);
        exref->setTargetName(externalName_);
        external_.release();
        externalName_ = orvel_string();
        attach(std::move(exref));
    }
}

void Object::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, 1);
    out << name_;
    writeTag(out, 2);
    out.writeLink(database_);
    writeTag(out, 3);
    out << dirty_;
    writeTag(out, 4);
    bounds_.write(out);
    writeTag(out, 12);
    closeInstanceGaps();
    out << instances_;
    writeTag(out, 20);
    out.writeStreamable(root_.get());
    writeTag(out, 0);
}

}  // namespace kessa
