#include "Button.h"

#include "gui/GuiRenderer.h"
#include "gui/Window.h"

namespace pellium {

Button::Button(const char* label) { setLabel(label, true); }

Button::~Button() = default;

bool Button::update() {
    // Timed by the clock, not by the loop's passes: the loop idles between repeats.
    if (!held_ || !inside_ || eventTime() < nextRepeat_)
        return false;
    nextRepeat_ = eventTime() + repeatInterval;
    press();
    return true;
}

void Button::getRenderInfo(int& kind, int& state) {
    kind = WidgetKind::pushButton;
    if (!isEnabled()) {
        state = WidgetState::disabled;
        return;
    }
    if (held_ && inside_)
        state = WidgetState::pressed;
    else if (held_ || inside_)
        state = WidgetState::hot;
    else
        state = isKeyboardFocus() ? WidgetState::focused : 0;
    if (getWindow() && getWindow()->getDefaultButton() == this)
        state |= WidgetState::defaultButton;
}

void Button::handleEvent(const Event& event) {
    if (event.type == EventType::LeftUp && !held_)
        return;
    Clickable::handleEvent(event);
    if (!autoRepeat_)
        return;
    if (event.type == EventType::LeftDown) {
        nextRepeat_ = eventTime() + repeatDelay;
        startUpdates(this);
    } else if (event.type == EventType::LeftUp) {
        stopUpdates(this);
    }
}

void Button::clicked() {
    drawnPressed_ = held_ = false;
    revalidate();
    press();
}

void Button::handleKey(const Event& event) {
    if (event.type == EventType::Key && (event.code == 13 || event.code == ' ')) {
        press();
        return;
    }
    if (event.type == EventType::Shortcut && isShortcut(event.code)) {
        Window::setKeyboardFocus(getWindow(), this);
        press();
        return;
    }
    Component::handleKey(event);
}

}  // namespace pellium
