// A component that holds an ordered list of children and hands its window
// down to them.
#pragma once

#include <vector>

#include "base/Refcountable.h"
#include "gui/Component.h"

namespace pellium {

class Container : public Component {
public:
    Container();
    ~Container() override;

    // Appends a child (holding a reference) and gives it this container's
    // window, down to every descendant. A locked container adds nothing.
    Component* add(Component* child, int constraint = -1);
    void lock() { locked_ = true; }

    void setEnabled(bool enabled) override;
    // A single child container fills the area inside the insets; every child
    // container then lays itself out.
    virtual void layout();
    virtual void setInsets(int left, int bottom, int right, int top);
    virtual void getInsets(int& left, int& bottom, int& right, int& top);
    virtual bool isWindow() const { return false; }

    const std::vector<orvel::ref_ptr<Component>>& children() const { return children_; }

protected:
    // Gives a component and all its descendants a window.
    static void setWindowOf(Component* component, Window* window);

private:
    bool locked_ = false;
    std::vector<orvel::ref_ptr<Component>> children_;
    int insetLeft_ = 0, insetBottom_ = 0, insetRight_ = 0, insetTop_ = 0;
};

}  // namespace pellium
