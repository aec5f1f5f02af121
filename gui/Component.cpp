#include "Component.h"

#include <cctype>
#include <stdexcept>

#include "gui/Action.h"
#include "gui/Container.h"
#include "gui/GuiRenderer.h"
#include "gui/MessageDest.h"
#include "gui/Window.h"
#include "gui/WindowInternals.h"
#include "gui/gdiGraphics.h"
#include "gui/gl/Cursor.h"
#include "gui/gl/Font.h"
#include "gui/gl/FontCache.h"

namespace pellium {

namespace {

struct ToolTipState {
    Component::ToolTipMaker maker = nullptr;
    Component* component = nullptr;  // the one the open tooltip belongs to
    Window* window = nullptr;
};

ToolTipState& toolTips() {
    static ToolTipState state;
    return state;
}

std::list<Component*>& live() {
    static std::list<Component*> components;
    return components;
}

}  // namespace

// Every component starts in the default GUI font; the cache keeps it for the
// life of the process.
Component::Component() : font_(FontCache::get(FontKey(FontKey::guiFace, 0, 0))) {
    live_ = live().insert(live().end(), this);
}

Component::~Component() {
    live().erase(live_);
    Window::forgetComponent(this);
    if (toolTips().component == this)
        closeToolTip();
}

const std::list<Component*>& Component::liveComponents() { return live(); }

void Component::setLabel(const char* text, bool parseShortcut) {
    labelWidth_ = -1;
    if (!parseShortcut) {
        label_ = text ? text : "";
        return;
    }
    label_ = "";
    shortcut_ = 0;
    if (!text) {
        labelWidth_ = 0;
        return;
    }
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
    int kind, state;
    getRenderInfo(kind, state);
    if (kind != 0) {
        GuiMetrics m;
        GuiRenderer::instance()->getMetrics(m, kind, state, this);
        width = m.width;
        height = m.height;
    } else if (!label_.empty()) {
        width = getTextWidth();
        height = font_ ? font_->height() : 16;
    } else if (!image_.empty()) {
        width = image_.width();
        height = image_.height();
    } else {
        width = height = 4;
    }
}

void Component::draw(Graphics& g) {
    int kind, state;
    getRenderInfo(kind, state);
    if (kind != 0) {
        GuiRenderer* renderer = GuiRenderer::instance();
        renderer->drawBackground(g, kind, state, getBounds());
        renderer->drawForeground(g, kind, state, this);
        return;
    }
    if (!label_.empty()) {
        g.setColor(enabled_ ? GuiColor::button_text : GuiColor::gray_text);
        g.drawStringCentered(label_, font_.get(), getBounds());
    }
    if (!image_.empty())
        g.drawImageCentered(image_, getBounds());
}

void Component::handleEvent(const Event& event) {
    if (window_ && event.type == EventType::LeftDown)
        sendMessage(0);
}

bool Component::wantsEvent(const Event&) { return false; }

bool Component::isShortcut(int code) const {
    return shortcut_ && std::tolower(static_cast<unsigned char>(shortcut_)) == std::tolower(code & 0xFF);
}

void Component::handleKey(const Event& event) {
    if (!window_)
        return;
    // A shortcut reaches the focus component first: one that is not its own
    // goes on to the component whose letter it is.
    if (event.type == EventType::Shortcut && !isShortcut(event.code) && window_ != this)
        window_->handleKey(event);
    if (event.type != EventType::Key)
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

void Component::revalidate() {
    Window* w = window_;
    if (!w || !isShowing() || !w->isOpen())
        return;
    // An OpenGL window draws itself whole, with OpenGL, in the next pass.
    if (w->internals().opengl) {
        w->invalidate();
        return;
    }
    w->layout();
    gdiGraphics& g = w->graphics();
    g.begin(w, getBounds());
    w->draw(g);
    g.end();
}

void Component::setAction(Action* action, MessageDest* dest) {
    action_ = action;
    if (!action)
        return;
    setLabel(action->label(), true);
    image_ = action->icon();
    setToolTip(action->tooltip(), action->tooltipWord());
    messageId_ = action->id();
    messageDest_ = dest;
}

void Component::setFont(const orvel::counted_ptr<Font>& font) {
    if (font.get() == font_.get())
        return;
    font_ = font;
    labelWidth_ = -1;
}

int Component::getTextWidth() {
    if (labelWidth_ < 0)
        labelWidth_ = font_ ? font_->stringWidth(label_) : 0;
    return labelWidth_;
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

void Component::setToolTip(const char* text, int word) {
    toolTip_ = text ? text : "";
    toolTipWord_ = text ? word : 0;
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

void Component::showToolTip(Component* component, const Event& event) {
    ToolTipState& t = toolTips();
    Component* shown = component;
    while (shown && shown->toolTipFromParent_ && shown->parent_)
        shown = shown->parent_;
    if (!shown || shown->toolTip_.empty() || component == t.component)
        return;
    closeToolTip();
    t.component = component;
    t.window = t.maker ? t.maker(event, shown) : nullptr;
}

void Component::closeToolTip() {
    ToolTipState& t = toolTips();
    Window* open = t.window;
    t.window = nullptr;
    t.component = nullptr;
    if (open && Window::isWindow(open)) {
        open->close();
        Window::destroyClosedWindows();
    }
}

Component* Component::toolTipComponent() { return toolTips().component; }

void Component::setToolTipMaker(ToolTipMaker maker) { toolTips().maker = maker; }

}  // namespace pellium
