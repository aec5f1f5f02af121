#include "LineLayout.h"

#include <algorithm>

#include "gui/Container.h"

namespace pellium {

int LineLayout::widestChild(Container& container) {
    int widest = 0;
    for (auto& child : container.children()) {
        int w, h;
        child->getPreferredSize(w, h);
        widest = std::max(widest, w);
    }
    return widest;
}

void LineLayout::moveChildren(Container& container, int dx, int dy) {
    for (auto& child : container.children()) {
        Rect r = child->getBounds();
        r.x += dx;
        r.y += dy;
        child->setBounds(r);
    }
}

}  // namespace pellium
