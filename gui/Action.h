// A user command described once (label with its shortcut mark, icon,
// tooltip, message id, check state), so that a menu item, a button or a check
// box can be set up from it with Component::setAction.
#pragma once

namespace pellium {

class Image;

class Action {
public:
    virtual ~Action() = default;

    // The label, '!' marking the shortcut letter; empty by default.
    virtual const char* label() const { return ""; }
    // One shared empty image by default.
    virtual const Image& icon() const;
    virtual const char* tooltip() const { return ""; }
    // The message id components send; -1 by default.
    virtual int id() const { return -1; }
    // The word stored with the tooltip.
    virtual int tooltipWord() const { return 0; }
    // An empty hook that a command may fill; 0 here.
    virtual int hook() const { return 0; }
    // 0 unchecked, 1 checked, anything else unknown (the default, -1). A check
    // box attached to the action follows it.
    virtual int checkState() const { return -1; }
};

}  // namespace pellium
