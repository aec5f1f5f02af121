#include "Window.h"

#include <algorithm>
#include <cctype>

#include "base/Debug.h"
#include "gui/Application.h"
#include "gui/DisplayModes.h"
#include "gui/EventQueue.h"
#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/PopupController.h"
#include "gui/ProgramIcon.h"
#include "gui/WindowInternals.h"
#include "gui/WindowPlacement.h"
#include "gui/XPtheme.h"
#include "gui/gl/Cursor.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

// Input reaches only a component that is visible and enabled, below
// containers that are too: the pointer, shortcut letters and the Tab key.
bool takesInput(const Component* c) { return c->isVisible() && c->isEnabled(); }

// The deepest component that takes input and contains the point; the
// container itself when no child does. Later children lie on top.
Component* componentAt(Container* container, int x, int y) {
    const auto& children = container->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        Component* child = it->get();
        if (!takesInput(child) || !child->getBounds().contains(x, y))
            continue;
        if (Container* c = child->asContainer())
            return c->isWindow() ? child : componentAt(c, x, y);
        return child;
    }
    return container;
}

Component* findShortcut(Container* container, int code) {
    int wanted = std::tolower(code & 0xFF);
    for (auto& child : container->children()) {
        char letter = child->getShortcut();
        if (!letter || !takesInput(child.get()))
            continue;
        orvel::debug("Checking %s  %c (%c)\n", child->getLabel().c_str(), letter, char(code));
        if (std::tolower(static_cast<unsigned char>(letter)) == wanted)
            return child.get();
    }
    for (auto& child : container->children())
        if (Container* c = child->asContainer(); c && takesInput(c))
            if (Component* found = findShortcut(c, code))
                return found;
    return nullptr;
}

// Push buttons, tabs, check boxes and radio buttons take the keyboard focus
// from the Tab key, in the order of the tree.
void focusable(Container* container, std::vector<Component*>& out) {
    for (auto& child : container->children()) {
        if (!takesInput(child.get()))
            continue;
        int kind, state;
        child->getRenderInfo(kind, state);
        if (kind == WidgetKind::pushButton || kind == WidgetKind::checkBox || kind == WidgetKind::radioButton ||
            kind == WidgetKind::tab)
            out.push_back(child.get());
        if (Container* c = child->asContainer(); c && !c->isWindow())
            focusable(c, out);
    }
}

Event retyped(const Event& e, int type) {
    Event copy = e;
    copy.type = type;
    return copy;
}

orvel::counted_ptr<Cursor> cursorOf(Component* c) {
    for (; c; c = c->getParent())
        if (c->getCursor())
            return c->getCursor();
    return nullptr;
}

// The pointer moved onto another component: the old one hears that it left,
// the new one that it entered, and the window takes the new one's cursor.
void changePointerComponent(Window* window, Component* now, const Event& event) {
    ToolkitState& t = toolkit();
    Component* old = t.pointerComponent;
    if (now == old)
        return;
    t.pointerComponent = now;
    Component::closeToolTip();
    if (old && (!t.mouseGrab || t.mouseGrab == old))
        old->handleEvent(retyped(event, EventType::Leave));
    if (now && (!t.mouseGrab || t.mouseGrab == now))
        now->handleEvent(retyped(event, EventType::Enter));
    window->internals().cursor = cursorOf(now);
    showWindowCursor(window);
}

// Said in the log before the platform layer ends the program.
void noteDisplayLost() { orvel::debug("---Connection to the display lost; the program ends\n"); }

}  // namespace

ToolkitState& toolkit() {
    static ToolkitState state;
    return state;
}

void showWindowCursor(Window* window) {
    WindowInternals& in = window->internals();
    Cursor* cursor = in.blocked ? getCursor(Cursor::NotAllowed).get()
                     : in.cursor ? in.cursor.get()
                                 : getCursor(Cursor::Arrow).get();
    platform::showCursor(cursor->handle());
}

void updatePointerCursor(Window* window) {
    Component* pointer = toolkit().pointerComponent;
    if (!pointer || pointer->getWindow() != window)
        return;
    window->internals().cursor = cursorOf(pointer);
    showWindowCursor(window);
}

Window::Window(Window* parent) : internals_(new WindowInternals) {
    internals_->parent = parent;
    setLabel("pellium", false);
    Container::setBounds({-1, -1, -1, -1});
    setWindowOf(this, this);
    platform::setWindowProcedure(WindowProc);
    platform::setDisplayLostHandler(noteDisplayLost);
    toolkit().windows.push_back(this);
}

Window::~Window() {
    if (internals_->open)
        close();
    destroyNative();
    ToolkitState& t = toolkit();
    t.windows.erase(std::remove(t.windows.begin(), t.windows.end(), this), t.windows.end());
    if (t.pointerWindow == this)
        t.pointerWindow = nullptr;
    if (t.keyboardFocusWindow == this) {
        t.keyboardFocusWindow = nullptr;
        t.keyboardFocus = nullptr;
    }
    if (t.hoverWindow == this)
        t.hoverWindow = nullptr;
    if (t.lastMove.window == this)
        t.lastMove = Event();
}

void Window::setWindowType(int type) { internals_->type = type; }
int Window::getWindowType() const { return internals_->type; }
void Window::setParentWindow(Window* parent) { internals_->parent = parent; }
Window* Window::getParentWindow() const { return internals_->parent; }

void Window::setMonitor(int index) {
    if (index >= 0 && index < monitorCount())
        internals_->monitor = index;
}

void Window::setShadow() { internals_->shadow = true; }

void Window::setPopupAnchor(int x, int y) {
    internals_->anchorX = x;
    internals_->anchorY = y;
}

void Window::setResizable(bool resizable) { internals_->resizable = resizable; }
void Window::setOpenGL(bool opengl) { internals_->opengl = opengl; }

void Window::setScreenMode(int resolution, int depth, int refresh) {
    internals_->resolution = resolution;
    internals_->depth = depth;
    internals_->refresh = refresh;
    // Only a test here: opening the window full screen makes the switch.
    applyScreenMode({resolution, depth, refresh}, internals_->monitor, true);
}

bool Window::modeWasChanged() const { return internals_->modeChanged; }

void Window::setTitle(const char* title) {
    if (internals_->open)
        platform::setWindowTitle(internals_->handle, title);
    setLabel(title, false);
}

void Window::setBounds(const Rect& bounds) {
    WindowInternals& in = *internals_;
    if (in.open && in.type == Subwindow && in.parent) {
        Placement p = placeSubwindow(in.parent->getBounds().height, bounds.x, bounds.y, bounds.width, bounds.height);
        platform::placeWindow(in.handle, p.x, p.y, p.width, p.height);
        Container::setBounds({0, 0, bounds.width, bounds.height});
        return;
    }
    Container::setBounds(bounds);
}

void Window::setSize(int width, int height) { setBounds({-1, -1, width, height}); }

void Window::open() {
    WindowInternals& in = *internals_;
    if (in.open)
        return;
    in.monitor = 0;
    Rect b = getBounds();
    if (b.width < 0 || b.height < 0)
        getPreferredSize(b.width, b.height);
    // The class record: the program's icon, and style bits that X has no use
    // for but that say what the window asked for. Every popup asks the theme
    // renderer whether the visual-styles library is there (so the first one
    // loads it); only with it does the record ask for a drop shadow for a
    // popup that wants one. X draws none.
    in.classStyle = verticalRedraw | horizontalRedraw | ownDC;
    if (in.type == Popup) {
        in.classStyle |= saveBits;
        if (XPtheme::isAvailable() && in.shadow)
            in.classStyle |= dropShadow;
    }
    platform::ScreenMetrics screen = platform::screenMetrics();
    platform::WindowParams params;
    params.icon = programIcon();
    params.title = getLabel().c_str();
    params.opengl = in.opengl;
    params.width = b.width;
    params.height = b.height;
    Placement place;
    switch (in.type) {
    case TopLevel:
        params.kind = platform::WindowKind::TopLevel;
        params.resizable = in.resizable;
        place = placeTopLevel(screen, b.x, b.y, b.width, b.height);
        break;
    case Popup: {
        if (!in.parent || !in.parent->isOpen()) {
            userError("A popup window has no parent. Please call setParent() somewhere");
            return;
        }
        params.kind = platform::WindowKind::Popup;
        params.parent = in.parent->getHWND();
        Placement parent;
        platform::clientRect(in.parent->getHWND(), parent.x, parent.y, parent.width, parent.height);
        place = placePopup(screen, parent, b.x, b.y, b.width, b.height, in.anchorX, in.anchorY);
        break;
    }
    case Subwindow:
        if (!in.parent || !in.parent->isOpen()) {
            userError("A subwindow has no parent. Please call setParent() somewhere");
            return;
        }
        params.kind = platform::WindowKind::Child;
        params.parent = in.parent->getHWND();
        place = placeSubwindow(in.parent->getBounds().height, b.x, b.y, b.width, b.height);
        break;
    default: {
        params.kind = platform::WindowKind::FullScreen;
        params.monitor = in.monitor;
        DisplayMode mode{in.resolution, in.depth, in.refresh};
        in.modeChanged = applyScreenMode(mode, in.monitor, false);
        Rect m = monitorRect(in.monitor);
        place = {m.x, m.y, m.width, m.height};
        resolutionSize(in.resolution, place.width, place.height);
        break;
    }
    }
    params.x = place.x;
    params.y = place.y;
    params.width = place.width;
    params.height = place.height;

    ToolkitState& t = toolkit();
    t.creating = this;
    in.handle = 0;
    platform::WindowId made = platform::createWindow(params);
    t.creating = nullptr;
    if (!made || made != in.handle) {
        if (made)
            platform::destroyWindow(made);
        in.handle = 0;
        in.open = false;
        fatalError("Window create failed");
        return;
    }
    if (in.type == TopLevel && in.resizable) {
        int w, h;
        getPreferredSize(w, h);
        platform::setMinimumSize(made, w, h);
    }
    platform::showWindow(made, in.type == TopLevel || in.type == FullScreen);
    int x, y, w, h;
    platform::clientRect(made, x, y, w, h);
    Container::setBounds({0, 0, w, h});
    in.dirty = true;
}

void Window::close() {
    WindowInternals& in = *internals_;
    if (!in.open)
        return;
    ToolkitState& t = toolkit();
    // A popup over this window closes through its owner, as a press
    // elsewhere would close it: the menu cancels its submenus still waiting
    // to open, the combo box hears that its list closed, and the window layer
    // stops routing every press to the popup's owner first.
    if (PopupController* popup = t.activePopup)
        for (Window* w : t.windows)
            if (w->internals_->parent == this && w->internals_->open &&
                popup->ownsComponent(w, Event(EventType::None, w))) {
                closeActivePopup();
                break;
            }
    // Copy: closing a child may change the list.
    std::vector<Window*> all = t.windows;
    for (Window* w : all)
        if (isWindow(w) && w->internals_->parent == this && w->internals_->open) {
            w->close();
            w->destroyNative();
        }
    in.open = false;
    in.closePending = true;
    platform::hideWindow(in.handle);
    onClose();
}

void Window::destroyNative() {
    WindowInternals& in = *internals_;
    if (!in.handle)
        return;
    in.closePending = false;
    platform::destroyWindow(in.handle);
    in.handle = 0;
    in.open = false;
}

bool Window::isOpen() const { return internals_->open; }
unsigned Window::classStyle() const { return internals_->classStyle; }
platform::WindowId Window::getHWND() const { return internals_->handle; }
bool Window::isBlocked() const { return internals_->blocked; }
void Window::setBlocked(bool blocked) { internals_->blocked = blocked; }
void Window::invalidate() { internals_->dirty = true; }
bool Window::isDirty() const { return internals_->dirty; }

void Window::repaint() {
    WindowInternals& in = *internals_;
    if (!in.open)
        return;
    in.dirty = false;
    if (in.opengl) {
        paintGL();
        return;
    }
    const Rect& b = getBounds();
    in.graphics.begin(this, {0, 0, b.width, b.height});
    paint(in.graphics);
    in.graphics.end();
}

gdiGraphics& Window::graphics() const { return internals_->graphics; }

void Window::drawBackground(Graphics& g) {
    g.setColor(GuiColor::face);
    g.fillRect(getBounds());
}

void Window::draw(Graphics& g) {
    drawBackground(g);
    Container::draw(g);
}

void Window::paint(Graphics& g) {
    layout();
    draw(g);
}

void Window::setDefaultButton(Component* button) { internals_->defaultButton = button; }
void Window::setCancelButton(Component* button) { internals_->cancelButton = button; }
Component* Window::getDefaultButton() const { return internals_->defaultButton; }
Component* Window::getCancelButton() const { return internals_->cancelButton; }
int Window::lastPointerX() const { return internals_->lastX; }
int Window::lastPointerY() const { return internals_->lastY; }

void Window::handleWindowEvent(Event& event) {
    ToolkitState& t = toolkit();
    int type = event.type;
    if (t.swallowButtonUp && (type == EventType::LeftUp || type == EventType::RightUp)) {
        t.swallowButtonUp = false;
        return;
    }
    if (internals_->blocked)
        return;
    // Alt alone opens a menu bar; this toolkit has none to open.
    if (type == EventType::Key && event.code == Key::AltAlone)
        return;
    if (type == EventType::Key || type == EventType::Shortcut) {
        // A key belongs to the window it was typed into: a focus held in
        // another window (the launcher's button that opened this one) does
        // not take it. Without a focus here that can take it the window's
        // own key handling has it: Tab then starts at the first focusable component.
        Component* focus = t.keyboardFocusWindow == this ? t.keyboardFocus : nullptr;
        (focus && focus->isEnabled() && focus->isShowing() ? focus : this)->handleKey(event);
        return;
    }
    if (type == EventType::Enter)
        return;
    if (type == EventType::Leave) {
        t.pointerComponent = nullptr;
        return;
    }

    Component* under = componentAt(this, event.x, event.y);
    if (t.activePopup && !t.activePopup->ownsComponent(under, event) &&
        (type == EventType::LeftDown || type == EventType::RightDown)) {
        closeActivePopup();
        t.swallowButtonUp = true;
        return;
    }
    // A press finds its component from its own place too: the pointer may
    // have jumped there with no move seen on the way (a tablet, a remote
    // desktop), and a widget must know it is under the pointer to be clicked.
    const bool press = type == EventType::LeftDown || type == EventType::MiddleDown || type == EventType::RightDown;
    if (type == EventType::Move || (press && !t.mouseGrab))
        changePointerComponent(this, under, event);
    if (type == EventType::Move)
        t.lastMove = event;
    else if (type != EventType::Hover)
        Component::closeToolTip();

    // A popup is never the keyboard's: keys keep going to the window under
    // it, so neither a press nor the wheel in a menu or a combo list moves the focus.
    const bool focusMoves = !t.activePopup;
    Component* receiver = t.mouseGrab;
    if (!receiver) {
        switch (type) {
        case EventType::LeftDown:
        case EventType::RightDown:
            receiver = under;
            if (focusMoves)
                t.pressFocus = under;
            break;
        case EventType::Wheel:
            for (Component* c = under; c; c = c->getParent())
                if (c->isEnabled() && c->wantsEvent(event)) {
                    if (focusMoves)
                        setKeyboardFocus(this, c);
                    break;
                }
            return;
        case EventType::Hover:
            Component::showToolTip(under, event);
            return;
        default:
            receiver = under;
        }
    }
    Component* focusBefore = t.keyboardFocus;
    if (receiver && receiver->isEnabled()) {
        if (type >= EventType::Move && type <= EventType::RightUp)
            receiver->handleEvent(event);
        else if (type == EventType::Wheel)
            receiver->wantsEvent(event);
        else
            receiver->handleKey(event);
    }
    // The pressed component takes the focus only after its press, so that
    // the press can tell whether it had the focus already (a text field
    // moves its caret on a right press only then). A press that placed the
    // focus itself keeps its choice; forgetComponent clears the record when
    // the press removed the component.
    if (Component* focus = t.pressFocus) {
        t.pressFocus = nullptr;
        if (t.keyboardFocus == focusBefore)
            setKeyboardFocus(this, focus);
    }
}

void Window::deliverShortcut(const Event& event) {
    orvel::debug("shortcut key...\n");
    if (Component* found = findShortcut(this, event.code)) {
        orvel::debug("Shortcut - component %s\n", found->getLabel().c_str());
        found->handleKey(event);
    }
}

void Window::handleKey(const Event& event) {
    if (event.type == EventType::Shortcut) {
        deliverShortcut(event);
        return;
    }
    if (event.type != EventType::Key || event.code != '\t') {
        Component::handleKey(event);
        return;
    }
    std::vector<Component*> order;
    focusable(this, order);
    if (order.empty())
        return;
    const int n = int(order.size());
    auto at = std::find(order.begin(), order.end(), getKeyboardFocus());
    int next = at == order.end() ? (event.shift ? n - 1 : 0) : int(at - order.begin()) + (event.shift ? n - 1 : 1);
    setKeyboardFocus(this, order[size_t(next % n)]);
}

void Window::setMouseGrab(Component* component) {
    ToolkitState& t = toolkit();
    t.mouseGrab = component;
    Window* w = component ? component->getWindow() : nullptr;
    if (w && w->isOpen()) {
        platform::setCapture(w->getHWND());
        platform::setInputFocus(w->getHWND());
        return;
    }
    platform::releaseCapture();
    // The pointer may rest on another component now.
    if (isWindow(t.lastMove.window) && t.lastMove.window->isOpen()) {
        Window* last = t.lastMove.window;
        changePointerComponent(last, componentAt(last, t.lastMove.x, t.lastMove.y), t.lastMove);
    }
}

Component* Window::getMouseGrab() { return toolkit().mouseGrab; }

void Window::setKeyboardFocus(Window* window, Component* component) {
    ToolkitState& t = toolkit();
    Component* old = t.keyboardFocus;
    if (old == component)
        return;
    t.keyboardFocus = component;
    t.keyboardFocusWindow = component ? window : nullptr;
    if (old) {
        old->focusLost();
        if (Window* w = old->getWindow())
            w->invalidate();
    }
    if (component) {
        component->focusGained();
        if (window)
            window->invalidate();
    }
}

Component* Window::getKeyboardFocus() { return toolkit().keyboardFocus; }

void Window::setActivePopup(PopupController* controller) { toolkit().activePopup = controller; }
PopupController* Window::getActivePopup() { return toolkit().activePopup; }

void Window::closeActivePopup() {
    ToolkitState& t = toolkit();
    Component::closeToolTip();
    PopupController* controller = t.activePopup;
    if (!controller)
        return;
    controller->closePopup();
    destroyClosedWindows();
    t.activePopup = nullptr;
}

void Window::forgetComponent(Component* component) {
    ToolkitState& t = toolkit();
    if (t.pointerComponent == component)
        t.pointerComponent = nullptr;
    if (t.mouseGrab == component) {
        t.mouseGrab = nullptr;
        platform::releaseCapture();
    }
    if (t.keyboardFocus == component) {
        t.keyboardFocus = nullptr;
        t.keyboardFocusWindow = nullptr;
    }
    if (t.pressFocus == component)
        t.pressFocus = nullptr;
    for (Window* w : t.windows) {
        if (w->internals_->defaultButton == component)
            w->internals_->defaultButton = nullptr;
        if (w->internals_->cancelButton == component)
            w->internals_->cancelButton = nullptr;
    }
}

Component* Window::getPointerComponent() { return toolkit().pointerComponent; }

bool Window::isWindow(Window* window) {
    if (!window)
        return false;
    const std::vector<Window*>& list = toolkit().windows;
    return std::find(list.begin(), list.end(), window) != list.end();
}

Window* Window::findWindow(platform::WindowId handle) {
    if (!handle)
        return nullptr;
    for (Window* w : toolkit().windows)
        if (w->internals_->handle == handle)
            return w;
    return nullptr;
}

bool Window::anyWindowOpen() {
    for (Window* w : toolkit().windows)
        if (w->internals_->open)
            return true;
    return false;
}

int Window::repaintDirtyWindows() {
    int count = 0;
    // By index: a repaint may open or close windows.
    const std::vector<Window*>& list = toolkit().windows;
    for (size_t i = 0; i < list.size(); ++i) {
        Window* w = list[i];
        if (w->internals_->open && w->internals_->dirty) {
            w->repaint();
            ++count;
        }
    }
    return count;
}

void Window::destroyClosedWindows() {
    // Destroying may change the list: start over after each one.
    bool again = true;
    while (again) {
        again = false;
        for (Window* w : toolkit().windows)
            if (w->internals_->closePending) {
                w->destroyNative();
                again = true;
                break;
            }
    }
}

}  // namespace pellium
