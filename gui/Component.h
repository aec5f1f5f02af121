// The base of every element of a toolkit screen: its place in the window, its
// label with an optional shortcut letter, and the routes by which events and
// messages reach it. Held by reference count.
#pragma once

#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/Event.h"
#include "gui/Rect.h"

namespace pellium {

class Container;
class Cursor;
class MessageDest;
class Window;

class Component : public orvel::Refcountable {
public:
    Component();
    ~Component() override;

    // With parseShortcut every '!' is dropped and the first character after a
    // single '!' becomes the shortcut letter.
    virtual void setLabel(const char* text, bool parseShortcut);
    virtual void activate() {}
    virtual Rect& getBounds() { return bounds_; }
    virtual void setBounds(const Rect& bounds) { bounds_ = bounds; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    virtual void getPreferredSize(int& width, int& height);
    virtual void focusGained() {}
    virtual void focusLost() {}
    // A press sends the component's message.
    virtual void handleEvent(const Event& event);
    // True when the component took the event (the wheel goes up the parents until one does).
    virtual bool wantsEvent(const Event& event);
    // Enter and Escape reach the window's default and cancel buttons; other
    // keys go on to the window's own key handling.
    virtual void handleKey(const Event& event);

    Window* getWindow() const { return window_; }
    Container* getParent() const { return parent_; }
    // The component as a container, null when it is none.
    Container* asContainer() const { return container_; }
    bool isEnabled() const { return enabled_; }
    bool isVisible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }
    // The component and every ancestor are visible.
    bool isShowing() const;
    const orvel_string& getLabel() const { return label_; }
    char getShortcut() const { return shortcut_; }

    // The cursor shown over the component; without one the nearest ancestor's
    // shows, and the arrow when none has one. A change shows at once when the
    // pointer rests on the component.
    void setCursor(const orvel::counted_ptr<Cursor>& cursor);
    const orvel::counted_ptr<Cursor>& getCursor() const { return cursor_; }

    void setMessageDest(MessageDest* dest, int id);
    void sendMessage(int detail);

    // Routes all mouse input to this component (a widget calls it when a button
    // goes down on it) and ends that. Both throw std::logic_error without a window.
    void setFocus();
    void releaseFocus();
    bool isKeyboardFocus() const;

protected:
    friend class Container;
    Container* container_ = nullptr;

private:
    Window* window_ = nullptr;
    Container* parent_ = nullptr;
    bool enabled_ = true;
    bool visible_ = true;
    Rect bounds_{0, 0, 1, 1};
    orvel_string label_;
    char shortcut_ = 0;
    orvel::counted_ptr<Cursor> cursor_;
    int messageId_ = 0;
    MessageDest* messageDest_ = nullptr;
};

}  // namespace pellium
