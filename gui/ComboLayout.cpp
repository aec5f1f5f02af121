#include "ComboLayout.h"

#include <algorithm>

#include "gui/Container.h"
#include "gui/gl/Font.h"

namespace pellium {

void ComboLayout::calcSize(Container& container, int& width, int& height) {
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    int widest = 0, sum = 2;
    for (const auto& child : container.children()) {
        int w, h;
        child->getPreferredSize(w, h);
        widest = std::max(widest, w);
        sum += h + (child->getFont() ? child->getFont()->externalLeading() : 0);
    }
    width = widest + left + right;
    height = sum + bottom + top;
}

void ComboLayout::layout(Container& container) {
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    const Rect& b = container.getBounds();
    int y = b.y + b.height - top - 1;
    for (const auto& child : container.children()) {
        int w, h;
        child->getPreferredSize(w, h);
        y -= h;
        child->setBounds({b.x + left, y, b.width - left - right, h});
    }
}

}  // namespace pellium
