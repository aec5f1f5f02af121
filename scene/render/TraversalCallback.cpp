#include "scene/render/TraversalCallback.h"

namespace kessa {

void TraversalCallback::visit(Traverser&) {}

bool TraversalCallback::enter(Traverser&, Branch*) { return true; }

void TraversalCallback::leave(Traverser&, Branch*) {}

}  // namespace kessa
