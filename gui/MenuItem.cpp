#include "MenuItem.h"

#include "gui/Action.h"
#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/PopupMenu.h"

namespace pellium {

MenuItem::MenuItem(Action* action, MessageDest* dest) {
    setFont(GuiRenderer::menuFont());
    if (!action)
        return;
    setAction(action, nullptr);
    setMessageDest(dest, action->id());
}

MenuItem::~MenuItem() {
    if (submenu_)
        submenu_->close();
}

void MenuItem::setSubmenu(PopupMenu* submenu) {
    submenu_ = submenu;
    if (submenu)
        submenu->setEnabled(isEnabled());
}

void MenuItem::getRenderInfo(int& kind, int& state) {
    kind = WidgetKind::menuItem;
    state = !isEnabled() ? WidgetState::disabled : hot_ ? WidgetState::hot : 0;
}

void MenuItem::setEnabled(bool enabled) {
    Component::setEnabled(enabled);
    if (submenu_)
        submenu_->setEnabled(enabled);
}

void MenuItem::handleEvent(const Event& event) {
    auto* menu = dynamic_cast<PopupMenu*>(getParent());
    switch (event.type) {
    case EventType::Move:
    case EventType::Enter:
        if (!menu || (hot_ && (!submenu_ || submenu_->isOpen())))
            return;
        for (const auto& child : menu->children())
            if (auto* item = dynamic_cast<MenuItem*>(child.get()))
                item->hot_ = item == this;
        menu->closeSubmenus(this);
        openSubmenu(PopupMenu::submenuDelay);
        menu->invalidate();
        break;
    case EventType::Leave:
        if (submenu_ && submenu_->isOpen())
            return;
        hot_ = false;
        revalidate();
        break;
    case EventType::LeftUp:
        if (submenu_)
            return;
        hot_ = false;
        Window::closeActivePopup();
        sendMessage(0);
        break;
    default:
        break;
    }
}

void MenuItem::openSubmenu(double delay) {
    auto* menu = dynamic_cast<PopupMenu*>(getParent());
    if (!submenu_ || !menu)
        return;
    menu->closeSubmenus(this);
    int w, h;
    submenu_->getPreferredSize(w, h);
    const Rect& b = getBounds();
    submenu_->openAt(getWindow(), b.x + b.width - 8, b.y + b.height - h - 3, b.x - w, Window::farEdge, menu, delay);
}

void MenuSeparator::draw(Graphics& g) {
    const Rect& b = getBounds();
    g.drawHorizontalSeparator(b.x, b.y + 1, b.width);
}

}  // namespace pellium
