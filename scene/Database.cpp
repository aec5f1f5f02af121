#include "scene/Database.h"

#include <algorithm>

#include "base/Debug.h"

#include "scene/BunchSplitter.h"
#include "scene/DBCollider.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"

namespace kessa {

Database::Database() = default;

Database::~Database() {
    while (!objects_.empty()) {
        Object* last = objects_.back();
        objects_.pop_back();
        delete last;
    }
}

void Database::clean() {
    splitPendingBranches();
    if (!dirty_)
        return;
    for (Object* object : objects_)
        object->clean();
    dirty_ = false;
}

void Database::addObject(std::unique_ptr<Object> object) {
    if (!object)
        return;
    Object* added = object.release();
    if (objects_.empty())
        root_ = added;
    objects_.push_back(added);
    added->database_ = this;
    dirty_ = true;
}

void Database::addObject(orvel::counted_ptr<Object>& holder) {
    if (!holder)
        return;
    Object* object = holder.take();
    if (!object) {
        orvel::debug("Database::addObject() - the object is held elsewhere\n");
        return;
    }
    addObject(std::unique_ptr<Object>(object));
}

void Database::processObjects(ObjectProcessor& processor) {
    for (Object* object : objects_)
        processor.process(object);
}

const Bounds& Database::bounds() {
    static const Bounds empty;
    if (!root_)
        return empty;
    clean();
    return root_->bounds();
}

void Database::accumulate(Traverser& traverser) {
    if (root_)
        root_->traverse(traverser);
}

void Database::addExref(ExrefBranch* branch) {
    if (std::find(exrefs_.begin(), exrefs_.end(), branch) == exrefs_.end())
        exrefs_.push_back(branch);
}

void Database::removeExref(ExrefBranch* branch) {
    auto it = std::find(exrefs_.begin(), exrefs_.end(), branch);
    if (it != exrefs_.end())
        exrefs_.erase(it);
}

void Database::gatherTriangles(CollisionAction& action, TriangleVector& out) {
    if (!collider_)
        collider_ = std::make_unique<DBCollider>(*this);
    collider_->gather(action, out);
}

void Database::registerTypes(orvel::DataSource& source) { kessa::registerTypes(source); }

void Database::read(orvel::DataSource& in) {
    bool listed = false;
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            if (listed)
                in.readReferenceIds();
            else
                stream::readOwnedList(in, this, &takeObject);
            listed = true;
            break;
        case 2:
            // Only the list keeps an object; a root outside it is not kept.
            stream::readWeakReference(in, streamRoot_);
            break;
        case 3:
            in >> dirty_;
            break;
        case 4:
            in >> path_;
            break;
        default:
            break;
        }
    }
}

bool Database::takeObject(void* database, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<Database*>(database);
    auto* o = dynamic_cast<Object*>(object);
    if (!o)
        return false;
    if (o->database_) {
        orvel::debug("!!!Database: an object that belongs elsewhere was dropped\n");
        return false;
    }
    o->database_ = self;
    self->objects_.push_back(o);
    return true;
}

void Database::postRead() {
    Object* named = streamRoot_;
    streamRoot_ = nullptr;
    if (named && std::find(objects_.begin(), objects_.end(), named) != objects_.end())
        root_ = named;
    else if (named)
        orvel::debug("!!!Database: the root object is not one of its objects\n");
}

void Database::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, 1);
    out << objects_;
    writeTag(out, 2);
    out.writeStreamable(root_);
    writeTag(out, 3);
    out << dirty_;
    writeTag(out, 4);
    out << path_;
    writeTag(out, 0);
}

}  // namespace kessa
