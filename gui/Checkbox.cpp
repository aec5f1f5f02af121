#include "Checkbox.h"

#include "gui/Action.h"
#include "gui/GuiRenderer.h"
#include "gui/Window.h"

namespace pellium {

void Checkbox::activate() {
    checked_ = !checked_;
    sendMessage(checked_ ? 0 : 1);
    revalidate();
}

void Checkbox::getRenderInfo(int& kind, int& state) {
    kind = WidgetKind::checkBox;
    if (Action* action = getAction()) {
        int s = action->checkState();
        if (s == 0 || s == 1)
            checked_ = s == 1;
    }
    state = inside_ && drawnPressed_ ? WidgetState::pressed : inside_ ? WidgetState::hot : 0;
    if (checked_)
        state |= WidgetState::focused;
}

void Checkbox::handleKey(const Event& event) {
    if (event.type == EventType::Key && event.code == ' ') {
        activate();
        return;
    }
    if (event.type == EventType::Shortcut && isShortcut(event.code)) {
        Window::setKeyboardFocus(getWindow(), this);
        activate();
        return;
    }
    Component::handleKey(event);
}

}  // namespace pellium
