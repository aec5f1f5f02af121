#include "scene/render/TraversalCallback.h"

#include "scene/SceneStream.h"

namespace kessa {

void TraversalCallback::visit(Traverser&) {}

bool TraversalCallback::enter(Traverser&, Branch*) { return true; }

void TraversalCallback::leave(Traverser&, Branch*) {}

void TraversalCallback::read(orvel::DataSource& in) {
    while (stream::nextTag(in) != 0) {
    }
}

void TraversalCallback::write(orvel::DataDest& out) { stream::writeTag(out, 0); }

}  // namespace kessa
