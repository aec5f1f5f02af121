#include "Container.h"

#include <algorithm>
#include <cstdio>

#include "base/Debug.h"
#include "gui/Application.h"
#include "gui/ComponentGroup.h"
#include "gui/Graphics.h"
#include "gui/LayoutManager.h"
#include "gui/RowLayout.h"
#include "gui/Window.h"

namespace pellium {

namespace {

// The rows of containers without a layout manager: one measures, one places.
RowLayout& sizingRow() {
    static RowLayout* row = new RowLayout;
    return *row;
}

RowLayout& placingRow() {
    static RowLayout* row = new RowLayout;
    return *row;
}

int containerCount = 0;

}  // namespace

Container::Container() {
    container_ = this;
    char label[32];
    std::snprintf(label, sizeof label, "Container %d", ++containerCount);
    setLabel(label, true);
}

Container::~Container() = default;

Component* Container::add(Component* child, int constraint) {
    if (!child)
        return child;
    if (locked_) {
        orvel::debug("**** Tried to add something to a locked Container!\n");
        return child;
    }
    children_.emplace_back(child);
    child->parent_ = this;
    setWindowOf(child, getWindow());
    if (layout_)
        layout_->addConstraint(child, constraint);
    if (group_)
        group_->add(child);
    return child;
}

void Container::setWindowOf(Component* component, Window* window) {
    component->window_ = window;
    if (Container* c = component->asContainer())
        for (auto& child : c->children_)
            setWindowOf(child.get(), window);
}

void Container::setLayout(LayoutManager* layout) { layout_ = layout; }

void Container::setEnabled(bool enabled) {
    Component::setEnabled(enabled);
    for (auto& child : children_)
        child->setEnabled(enabled);
}

void Container::getPreferredSize(int& width, int& height) {
    Container* only = children_.size() == 1 ? children_[0]->asContainer() : nullptr;
    if (layout_) {
        layout_->calcSize(*this, width, height);
    } else if (only) {
        only->getPreferredSize(width, height);
        width += insetLeft_ + insetRight_;
        height += insetBottom_ + insetTop_;
    } else {
        RowLayout& row = sizingRow();
        row.setAlignment(alignment_);
        row.setJustification(justification_);
        // Without children the row leaves the values alone.
        width = height = -12345678;
        row.calcSize(*this, width, height);
        if (width < 0 || height < 0)
            width = height = 10;
    }
    const Image& image = getImage();
    if (!image.empty()) {
        width = std::max(width, image.width());
        height = std::max(height, image.height());
    }
}

void Container::layout() {
    if (children_.empty())
        return;
    Container* only = children_.size() == 1 ? children_[0]->asContainer() : nullptr;
    if (!layout_ && only) {
        const Rect& b = getBounds();
        only->setBounds({b.x + insetLeft_, b.y + insetBottom_, b.width - insetLeft_ - insetRight_,
                         b.height - insetBottom_ - insetTop_});
        only->layout();
        return;
    }
    if (layout_) {
        layout_->layout(*this);
    } else {
        RowLayout& row = placingRow();
        row.setAlignment(alignment_);
        row.setJustification(justification_);
        row.layout(*this);
    }
    for (auto& child : children_)
        if (Container* c = child->asContainer())
            c->layout();
}

void Container::draw(Graphics& g) {
    if (!getImage().empty())
        g.drawImageCentered(getImage(), getBounds());
    drawnClip_ = g.currentClip();
    for (size_t i = 0; i < children_.size(); ++i) {
        Component* child = children_[i].get();
        if (!child->isVisible())
            continue;
        child->drawnClip_ = g.currentClip();
        if (!intersects(child->getBounds(), g.currentClip())) {
            ++g.skipped;
            continue;
        }
        ++g.drawn;
        Container* c = child->asContainer();
        if (c && c->isWindow()) {
            static_cast<Window*>(c)->repaint();
            continue;
        }
        if (c)
            g.pushClip(child->getBounds());
        if (!g.clipIsEmpty()) {
            const Rect before = child->getBounds();
            child->draw(g);
            if (child->getBounds() != before)
                userError("You changed the position of a component when you drew it!");
        }
        if (c)
            g.popClip();
    }
}

void Container::notifyChildren() {
    for (auto& child : children_)
        child->notifyChildren();
}

void Container::setInsets(int left, int bottom, int right, int top) {
    insetLeft_ = left;
    insetBottom_ = bottom;
    insetRight_ = right;
    insetTop_ = top;
}

void Container::getInsets(int& left, int& bottom, int& right, int& top) {
    left = insetLeft_;
    bottom = insetBottom_;
    right = insetRight_;
    top = insetTop_;
}

}  // namespace pellium
