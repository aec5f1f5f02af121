// An entry of a popup menu: highlighted while the pointer is on it; chosen
// when the button is let go on it (it then sends its message), or, when it
// has a submenu, opening that after the pointer rests on it.
#pragma once

#include "gui/Component.h"

namespace pellium {

class Action;
class MessageDest;
class PopupMenu;

class MenuItem : public Component {
public:
    // With an action: its label with the shortcut, icon and tooltip, and its
    // id as the message id for dest.
    explicit MenuItem(Action* action = nullptr, MessageDest* dest = nullptr);
    ~MenuItem() override;

    // The item owns its submenu.
    void setSubmenu(PopupMenu* submenu);
    PopupMenu* getSubmenu() const { return submenu_.get(); }
    bool isHot() const { return hot_; }
    void setHot(bool hot) { hot_ = hot; }

    void getRenderInfo(int& kind, int& state) override;
    // The submenu follows.
    void setEnabled(bool enabled) override;
    void handleEvent(const Event& event) override;
    // Opens the submenu beside the item, after delay seconds.
    void openSubmenu(double delay);

private:
    bool hot_ = false;
    orvel::ref_ptr<PopupMenu> submenu_;
};

// A line between groups of menu items.
class MenuSeparator : public Component {
public:
    void getPreferredSize(int& width, int& height) override {
        width = 10;
        height = 4;
    }
    void draw(Graphics& g) override;
};

}  // namespace pellium
