#include "PopupMenu.h"

#include <algorithm>

#include "gui/GuiRenderer.h"
#include "gui/MenuItem.h"
#include "gui/PopupController.h"

namespace pellium {

namespace {

PopupMenu* top = nullptr;

// Whether a component lies in the open menu or in one of its open
// submenus, at any depth.
bool holds(PopupMenu* menu, Component* c) {
    if (!menu || !menu->isOpen())
        return false;
    if (c->getWindow() == menu)
        return true;
    for (const auto& child : menu->children())
        if (auto* item = dynamic_cast<MenuItem*>(child.get()))
            if (holds(item->getSubmenu(), c))
                return true;
    return false;
}

// The window layer's popup while a menu is up: events in the menus go on
// to them, a press anywhere else closes the whole menu.
class PopupMenuPopupController : public PopupController {
public:
    void closePopup() override {
        if (top)
            top->close();
    }
    bool ownsComponent(Component* c, const Event&) override { return holds(top, c); }
};

PopupMenuPopupController controller;

}  // namespace

PopupMenu::PopupMenu() : Window(nullptr) {
    setTitle("pellium popup menu");
    setShadow();
}

PopupMenu::~PopupMenu() {
    stopUpdates(this);
    if (top == this) {
        top = nullptr;
        if (getActivePopup() == &controller)
            setActivePopup(nullptr);
    }
}

void PopupMenu::addItem(MenuItem* item) { add(item, -1); }

void PopupMenu::addSeparator() { add(new MenuSeparator, -1); }

PopupMenu* PopupMenu::current() { return top && top->isOpen() ? top : nullptr; }

void PopupMenu::popup(const Event& event, PopupMenu* menu, MessageDest* dest) {
    top = menu;
    menu->setMessageDest(dest, 0);
    setActivePopup(&controller);
    int w, h;
    menu->getPreferredSize(w, h);
    menu->openAt(event.window, event.x, event.y - h, farEdge, farEdge, nullptr, 0);
}

void PopupMenu::getPreferredSize(int& width, int& height) {
    if (isOpen()) {
        width = getBounds().width;
        height = getBounds().height;
        return;
    }
    width = height = 0;
    for (const auto& child : children()) {
        int w, h;
        child->getPreferredSize(w, h);
        width = std::max(width, w);
        height += h;
    }
    width += 6;
    height += 6;
}

void PopupMenu::placeItems(int width, int height) {
    int cursor = height - 3;
    for (const auto& child : children()) {
        int w, h;
        child->getPreferredSize(w, h);
        cursor -= h;
        child->setBounds({3, cursor, width - 6, h});
        if (auto* item = dynamic_cast<MenuItem*>(child.get()))
            item->setHot(false);
    }
}

void PopupMenu::openAt(Window* parent, int x, int y, int fallbackX, int fallbackY, PopupMenu* owner, double delay) {
    if (isOpen())
        return;
    setParentWindow(parent);
    int w, h;
    getPreferredSize(w, h);
    placeItems(w, h);
    setBounds({x, y, w, h});
    setPopupAnchor(fallbackX, fallbackY);
    setWindowType(Popup);
    if (delay == 0) {
        show();
        openTime_ = 0;
    } else {
        owner_ = owner;
        openTime_ = eventTime() + delay;
    }
    startUpdates(this);
}

void PopupMenu::show() {
    open();
    // The window layer cuts a menu taller than the screen to its height:
    // the items stack from the top of what it shows.
    placeItems(getBounds().width, getBounds().height);
}

bool PopupMenu::update() {
    if (openTime_ != 0 && eventTime() >= openTime_) {
        openTime_ = 0;
        if (owner_)
            owner_->closeSubmenus();
        show();
    }
    if (openTime_ == 0)
        stopUpdates(this);
    return false;
}

void PopupMenu::closeSubmenus(MenuItem* keep) {
    for (const auto& child : children())
        if (auto* item = dynamic_cast<MenuItem*>(child.get()); item && item != keep && item->getSubmenu())
            item->getSubmenu()->close();
}

void PopupMenu::close() {
    if (isOpen()) {
        closeSubmenus();
        Window::close();
        destroyClosedWindows();
    }
    if (openTime_ != 0) {
        stopUpdates(this);
        openTime_ = 0;
    }
}

void PopupMenu::drawBackground(Graphics& g) {
    GuiRenderer::instance()->drawBackground(g, WidgetKind::popupMenu, 0, getBounds());
}

}  // namespace pellium
