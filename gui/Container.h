// A component that holds an ordered list of children, hands its window down
// to them, places them through a layout manager (a row when it has none) and
// draws them clipped to their bounds.
#pragma once

#include <vector>

#include "base/Refcountable.h"
#include "gui/Component.h"

namespace pellium {

class ComponentGroup;
class LayoutManager;

class Container : public Component {
public:
    Container();
    ~Container() override;

    // Appends a child (holding a reference), gives it this container's window
    // down to every descendant, and tells the layout manager and the group. A
    // locked container adds nothing.
    Component* add(Component* child, int constraint = -1);
    void lock() { locked_ = true; }
    // Children added while a group is set join it.
    void setGroup(ComponentGroup* group) { group_ = group; }
    void clearGroup() { group_ = nullptr; }
    void setLayout(LayoutManager* layout);
    LayoutManager* getLayout() const { return layout_.get(); }
    // For the row the children form without a layout manager.
    void setAlignment(int alignment) { alignment_ = alignment; }
    void setJustification(int justification) { justification_ = justification; }

    void setEnabled(bool enabled) override;
    void getPreferredSize(int& width, int& height) override;
    // The picture, then every visible child that meets the clip; a child
    // container within its own bounds as the clip.
    void draw(Graphics& g) override;
    void notifyChildren() override;
    // A single child container fills the area inside the insets; otherwise
    // the layout manager places the children. Child containers then lay
    // themselves out.
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
    ComponentGroup* group_ = nullptr;
    std::vector<orvel::ref_ptr<Component>> children_;
    int alignment_ = 1, justification_ = 0;
    orvel::ref_ptr<LayoutManager> layout_;
    int insetLeft_ = 0, insetBottom_ = 0, insetRight_ = 0, insetTop_ = 0;
};

}  // namespace pellium
