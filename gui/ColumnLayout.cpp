#include "ColumnLayout.h"

#include <algorithm>

#include "gui/Container.h"

namespace pellium {

void ColumnLayout::calcSize(Container& container, int& width, int& height) {
    const auto& children = container.children();
    if (children.empty())
        return;
    int sum = 0, widest = 0;
    for (auto& child : children) {
        int w, h;
        child->getPreferredSize(w, h);
        sum += h;
        widest = std::max(widest, w);
    }
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    width = widest + left + right;
    height = sum + (int(children.size()) - 1) * gap_ + bottom + top;
}

void ColumnLayout::layout(Container& container) {
    const auto& children = container.children();
    if (children.empty())
        return;
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    const Rect b = container.getBounds();
    const int innerWidth = b.width - left - right;
    const int widest = equalWidths_ ? widestChild(container) : 0;
    // One pixel inside the top inset; the bottom inset plays no part.
    int cursor = b.height - top - 1;
    for (auto& child : children) {
        int w, h;
        child->getPreferredSize(w, h);
        if (equalWidths_ && h != 0)
            w = widest;
        int offset = 0;
        if (w == 0)
            w = innerWidth;
        else if (justification_ == 1)
            offset = (innerWidth - w) / 2;
        else if (justification_ == 2)
            offset = innerWidth - w;
        child->setBounds({b.x + left + offset, b.y + cursor - h, w, h});
        cursor -= h + gap_;
    }
    if (alignment_ == 2)
        return;
    int spare = cursor + gap_;
    if (alignment_ == 1)
        spare /= 2;
    moveChildren(container, 0, -spare);
}

}  // namespace pellium
