#include "Action.h"

#include "gui/gl/Image.h"

namespace pellium {

const Image& Action::icon() const {
    static const Image none;
    return none;
}

}  // namespace pellium
