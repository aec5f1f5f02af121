#include "RowLayout.h"

#include <algorithm>

#include "gui/Container.h"

namespace pellium {

void RowLayout::calcSize(Container& container, int& width, int& height) {
    const auto& children = container.children();
    if (children.empty())
        return;
    int sum = 0, widest = 0, tallest = 0;
    for (auto& child : children) {
        int w, h;
        child->getPreferredSize(w, h);
        sum += w;
        widest = std::max(widest, w);
        tallest = std::max(tallest, h);
    }
    const int n = int(children.size());
    width = equalWidths_ ? n * widest + (n - 1) * gap_ : sum + (n - 1) * gap_;
    height = tallest;
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    width += left + right;
    height += bottom + top;
}

void RowLayout::layout(Container& container) {
    const auto& children = container.children();
    if (children.empty())
        return;
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    const Rect b = container.getBounds();
    const int innerWidth = b.width - left - right, innerHeight = b.height - bottom - top;
    const int widest = equalWidths_ ? widestChild(container) : 0;
    int cursor = left;
    for (auto& child : children) {
        int w, h;
        child->getPreferredSize(w, h);
        if (equalWidths_ && h != 0)
            w = widest;
        int offset = 0;
        if (h == 0)
            h = innerHeight;
        else if (alignment_ == 1)
            offset = (innerHeight - h) / 2;
        else if (alignment_ == 2)
            offset = innerHeight - h;
        child->setBounds({b.x + cursor, b.y + bottom + offset, w, h});
        cursor += w + gap_;
    }
    if (justification_ == 0)
        return;
    // The cursor started at the left inset, so a left inset shortens the spare width.
    int spare = innerWidth + gap_ - cursor;
    if (justification_ == 1)
        spare /= 2;
    moveChildren(container, spare, 0);
}

}  // namespace pellium
