#include "BorderLayout.h"

#include <algorithm>

#include "gui/Container.h"

namespace pellium {

void BorderLayout::addConstraint(Component* child, int constraint) {
    if (constraint >= top && constraint <= centre)
        regions_[constraint] = child;
}

void BorderLayout::removeAll() { std::fill(regions_, regions_ + 5, nullptr); }

void BorderLayout::calcSize(Container& container, int& width, int& height) {
    int l, b, r, t;
    container.getInsets(l, b, r, t);
    width = l + r;
    height = b + t;
    int w, h;
    if (Component* c = regions_[centre]) {
        c->getPreferredSize(w, h);
        width += w;
        height += h;
    }
    for (int side : {left, right})
        if (Component* c = regions_[side]; c && c->isVisible()) {
            c->getPreferredSize(w, h);
            width += w + hgap_;
            height = std::max(height, h);
        }
    for (int side : {top, bottom})
        if (Component* c = regions_[side]; c && c->isVisible()) {
            c->getPreferredSize(w, h);
            width = std::max(width, w);
            height += h + vgap_;
        }
}

void BorderLayout::layout(Container& container) {
    int l, b, r, t;
    container.getInsets(l, b, r, t);
    const Rect bounds = container.getBounds();
    Rect free{bounds.x + l, bounds.y + b, bounds.width - l - r, bounds.height - b - t};
    int w, h;
    if (Component* c = regions_[top]; c && c->isVisible()) {
        c->getPreferredSize(w, h);
        c->setBounds({free.x, free.y + free.height - h, free.width, h});
        free.height -= h + vgap_;
    }
    if (Component* c = regions_[bottom]; c && c->isVisible()) {
        c->getPreferredSize(w, h);
        c->setBounds({free.x, free.y, free.width, h});
        free.y += h + vgap_;
        free.height -= h + vgap_;
    }
    if (Component* c = regions_[left]; c && c->isVisible()) {
        c->getPreferredSize(w, h);
        c->setBounds({free.x, free.y, w, free.height});
        free.x += w + hgap_;
        free.width -= w + hgap_;
    }
    if (Component* c = regions_[right]; c && c->isVisible()) {
        c->getPreferredSize(w, h);
        c->setBounds({free.x + free.width - w, free.y, w, free.height});
        free.width -= w + hgap_;
    }
    if (Component* c = regions_[centre]; c && c->isVisible())
        c->setBounds(free);
}

}  // namespace pellium
