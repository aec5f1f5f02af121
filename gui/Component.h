// The base of every element of a toolkit screen: its place in the window, its
// label with an optional shortcut letter, font, picture, cursor and tooltip,
// the message it sends when the user acts on it, and the routes by which
// events reach it. Widgets look the way the widget renderer paints their kind
// and state. Held by reference count.
#pragma once

#include <list>

#include "base/Refcountable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/Event.h"
#include "gui/Rect.h"
#include "gui/gl/Image.h"

namespace pellium {

class Action;
class Container;
class Cursor;
class Font;
class Graphics;
class MessageDest;
class Window;

class Component : public orvel::Refcountable {
public:
    Component();
    ~Component() override;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    // With parseShortcut every '!' is dropped and the first character after a
    // single '!' becomes the shortcut letter.
    virtual void setLabel(const char* text, bool parseShortcut);
    virtual void activate() {}
    virtual Rect& getBounds() { return bounds_; }
    virtual void setBounds(const Rect& bounds) { bounds_ = bounds; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    // The widget kind and state word the renderer paints; kind 0 is no widget.
    virtual void getRenderInfo(int& kind, int& state) {
        kind = 0;
        state = 0;
    }
    // A widget's size from the renderer; else the label's, the picture's, or 4 x 4.
    virtual void getPreferredSize(int& width, int& height);
    // A widget through the renderer; else the label and the picture, centred.
    virtual void draw(Graphics& g);
    virtual void focusGained() {}
    virtual void focusLost() {}
    // A press sends the component's message.
    virtual void handleEvent(const Event& event);
    // True when the component took the event (the wheel goes up the parents until one does).
    virtual bool wantsEvent(const Event& event);
    // Enter and Escape reach the window's default and cancel buttons; other
    // keys, and shortcut keys of other components' letters, go on to the
    // window's own key handling.
    virtual void handleKey(const Event& event);
    // Whether a shortcut key (an event's code) is this component's letter.
    bool isShortcut(int code) const;
    virtual void notifyChildren() {}

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
    // The clip in force when the component was last drawn.
    const Rect& getDrawnClip() const { return drawnClip_; }

    // Repaints the component's area of its window now, when it is showing.
    // Widgets call it after a change of their look.
    void revalidate();

    // Takes the action's label (with its shortcut), icon, tooltip and message
    // id, with dest as the message's receiver. A null action changes nothing
    // but the one recorded.
    void setAction(Action* action, MessageDest* dest);
    Action* getAction() const { return action_; }

    void setFont(const orvel::counted_ptr<Font>& font);
    const orvel::counted_ptr<Font>& getFont() const { return font_; }
    // The label's width in the component's font, worked out once per label and font.
    int getTextWidth();
    void setImage(const Image& image) { image_ = image; }
    const Image& getImage() const { return image_; }

    // The cursor shown over the component; without one the nearest ancestor's
    // shows, and the arrow when none has one. A change shows at once when the
    // pointer rests on the component.
    void setCursor(const orvel::counted_ptr<Cursor>& cursor);
    const orvel::counted_ptr<Cursor>& getCursor() const { return cursor_; }

    void setMessageDest(MessageDest* dest, int id);
    void sendMessage(int detail);

    // A null text clears the tooltip and its word.
    void setToolTip(const char* text, int word);
    const orvel_string& getToolTip() const { return toolTip_; }
    int getToolTipWord() const { return toolTipWord_; }
    // Hovering shows the tooltip of the nearest ancestor that does not say so too.
    void setToolTipFromParent(bool fromParent) { toolTipFromParent_ = fromParent; }

    // Routes all mouse input to this component (a widget calls it when a button
    // goes down on it) and ends that. Both throw std::logic_error without a window.
    void setFocus();
    void releaseFocus();
    bool isKeyboardFocus() const;

    // A hover over a component opens the tooltip it shows, unless that one is
    // already open; closeToolTip closes the open one.
    static void showToolTip(Component* component, const Event& event);
    static void closeToolTip();
    // The component the open tooltip was opened for, null when none is.
    static Component* toolTipComponent();
    // Makes the tooltip window for a hover, given the component whose tooltip
    // shows (the tooltip window installs it); without one no window opens.
    using ToolTipMaker = Window* (*)(const Event& event, Component* component);
    static void setToolTipMaker(ToolTipMaker maker);

    // Every live component, oldest first: each joins as it is made and leaves
    // as it goes.
    static const std::list<Component*>& liveComponents();

protected:
    friend class Container;
    Container* container_ = nullptr;

private:
    Window* window_ = nullptr;
    Container* parent_ = nullptr;
    bool enabled_ = true;
    bool visible_ = true;
    Rect bounds_{0, 0, 1, 1};
    Rect drawnClip_{0, 0, 1, 1};
    Action* action_ = nullptr;
    orvel::counted_ptr<Font> font_;
    orvel_string label_;
    int labelWidth_ = -1;
    Image image_;
    orvel::counted_ptr<Cursor> cursor_;
    int messageId_ = 0;
    MessageDest* messageDest_ = nullptr;
    orvel_string toolTip_;
    int toolTipWord_ = 0;
    bool toolTipFromParent_ = false;
    char shortcut_ = 0;
    std::list<Component*>::iterator live_;  // its place among the live components
};

}  // namespace pellium
