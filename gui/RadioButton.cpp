#include "RadioButton.h"

#include "gui/Container.h"
#include "gui/GuiRenderer.h"
#include "gui/Window.h"

namespace pellium {

namespace {

// True only while a radio button acts on the user's input: select() then
// redraws and sends its message.
bool notifying = false;

}  // namespace

void RadioButton::select() {
    const bool notify = notifying;
    notifying = false;
    if (!checked_) {
        if (Container* parent = getParent())
            for (auto& child : parent->children()) {
                auto* sibling = dynamic_cast<RadioButton*>(child.get());
                if (sibling && sibling != this && sibling->checked_) {
                    sibling->checked_ = false;
                    if (notify)
                        sibling->revalidate();
                }
            }
        checked_ = true;
    }
    if (notify)
        sendMessage(0);
}

void RadioButton::choose() {
    notifying = true;
    select();
    notifying = false;
    revalidate();
}

void RadioButton::getRenderInfo(int& kind, int& state) {
    kind = WidgetKind::radioButton;
    if (!isEnabled())
        state = WidgetState::disabled;
    else
        state = inside_ && held_ ? WidgetState::pressed : inside_ ? WidgetState::hot : 0;
    if (checked_)
        state |= WidgetState::focused;
}

void RadioButton::handleEvent(const Event& event) {
    notifying = true;
    Clickable::handleEvent(event);
    notifying = false;
}

void RadioButton::handleKey(const Event& event) {
    if (event.type == EventType::Shortcut && isShortcut(event.code)) {
        Window::setKeyboardFocus(getWindow(), this);
        choose();
        return;
    }
    if (event.type == EventType::Key && event.code == ' ') {
        choose();
        return;
    }
    Component::handleKey(event);
}

}  // namespace pellium
