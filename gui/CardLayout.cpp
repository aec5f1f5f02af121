#include "CardLayout.h"

#include <algorithm>

#include "gui/Container.h"

namespace pellium {

void CardLayout::calcSize(Container& container, int& width, int& height) {
    const auto& children = container.children();
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    width = height = 0;
    if (current_ >= 0 && current_ < int(children.size())) {
        children[size_t(current_)]->getPreferredSize(width, height);
        for (auto& child : children) {
            int w, h;
            child->getPreferredSize(w, h);
            if (widest_)
                width = std::max(width, w);
            if (tallest_)
                height = std::max(height, h);
        }
    }
    width += left + right;
    height += bottom + top;
}

void CardLayout::showCurrent(Container& container) const {
    const auto& children = container.children();
    for (size_t i = 0; i < children.size(); ++i)
        children[i]->setVisible(int(i) == current_);
}

void CardLayout::layout(Container& container) {
    showCurrent(container);
    const auto& children = container.children();
    if (current_ < 0 || current_ >= int(children.size()))
        return;
    int left, bottom, right, top;
    container.getInsets(left, bottom, right, top);
    const Rect b = container.getBounds();
    Component* card = children[size_t(current_)].get();
    // Only a container card keeps out of the insets.
    if (card->asContainer())
        card->setBounds({b.x + left, b.y + bottom, b.width - left - right, b.height - bottom - top});
    else
        card->setBounds(b);
}

}  // namespace pellium
