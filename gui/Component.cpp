#include "Component.h"

#include <stdexcept>

#include "gui/Container.h"
#include "gui/MessageDest.h"
#include "gui/Window.h"
#include "gui/WindowInternals.h"

namespace pellium {

Component::Component() = default;

Component::~Component() { Window::forgetComponent(this); }

void Component::setLabel(const char* text, bool parseShortcut) {
    if (!parseShortcut) {
        label_ = text ? text : "";
        return;
    }
    label_ = "";
    shortcut_ = 0;
    if (!text)
        return;
    for (const char* p = text; *p; ++p) {
        if (*p == '!') {
            if (p[1] && p[1] != '!' && !shortcut_)
                shortcut_ = p[1];
            continue;
        }
        label_.push_back(*p);
    }
}

void Component::getPreferredSize(int& width, int& height) {
    width = 4;
    height = 4;
}

void Component::handleEvent(const Event& event) {
    if (window_ && event.type == EventType::LeftDown)
        sendMessage(0);
}

bool Component::wantsEvent(const Event&) { return false; }

void Component::handleKey(const Event& event) {
    if (!window_ || event.type != EventType::Key)
        return;
    if (event.code == 13 && window_->getDefaultButton()) {
        window_->getDefaultButton()->sendMessage(0);
        return;
    }
    if (event.code == 27 && window_->getCancelButton()) {
        window_->getCancelButton()->sendMessage(0);
        return;
    }
    // A window's own key handling is this one: passing the key on would loop.
    if (window_ != this)
        window_->handleKey(event);
}

bool Component::isShowing() const {
    for (const Component* c = this; c; c = c->parent_)
        if (!c->visible_)
            return false;
    return true;
}

void Component::setCursor(const orvel::counted_ptr<Cursor>& cursor) {
    cursor_ = cursor;
    if (window_)
        updatePointerCursor(window_);
}

void Component::setMessageDest(MessageDest* dest, int id) {
    messageDest_ = dest;
    messageId_ = id;
}

void Component::sendMessage(int detail) {
    if (messageDest_)
        messageDest_->message(this, messageId_, detail);
}

void Component::setFocus() {
    if (!window_)
        throw std::logic_error("Component::setFocus() - component isn't in a window");
    Window::setMouseGrab(this);
}

void Component::releaseFocus() {
    if (!window_)
        throw std::logic_error("Component::setFocus() - component isn't in a window");
    if (Window::getMouseGrab() == this)
        Window::setMouseGrab(nullptr);
}

bool Component::isKeyboardFocus() const { return Window::getKeyboardFocus() == this; }

}  // namespace pellium
