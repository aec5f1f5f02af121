#include "Container.h"

#include "base/Debug.h"

namespace pellium {

Container::Container() { container_ = this; }

Container::~Container() = default;

Component* Container::add(Component* child, int) {
    if (!child)
        return child;
    if (locked_) {
        orvel::debug("**** Tried to add something to a locked Container!\n");
        return child;
    }
    children_.emplace_back(child);
    child->parent_ = this;
    setWindowOf(child, getWindow());
    return child;
}

void Container::setWindowOf(Component* component, Window* window) {
    component->window_ = window;
    if (Container* c = component->asContainer())
        for (auto& child : c->children_)
            setWindowOf(child.get(), window);
}

void Container::setEnabled(bool enabled) {
    Component::setEnabled(enabled);
    for (auto& child : children_)
        child->setEnabled(enabled);
}

void Container::layout() {
    if (children_.empty())
        return;
    Container* only = children_.size() == 1 ? children_[0]->asContainer() : nullptr;
    if (only) {
        const Rect& b = getBounds();
        only->setBounds({b.x + insetLeft_, b.y + insetBottom_, b.width - insetLeft_ - insetRight_,
                         b.height - insetBottom_ - insetTop_});
        only->layout();
        return;
    }
    for (auto& child : children_)
        if (Container* c = child->asContainer())
            c->layout();
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
