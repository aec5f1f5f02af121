#include "scene/Database.h"

#include <algorithm>

#include "scene/Object.h"

namespace kessa {

Database::~Database() {
    while (!objects_.empty()) {
        Object* last = objects_.back();
        objects_.pop_back();
        delete last;
    }
}

void Database::clean() {
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

}  // namespace kessa
