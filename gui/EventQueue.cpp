#include "EventQueue.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "base/Clock.h"
#include "base/Debug.h"
#include "gui/Idler.h"
#include "gui/PopupController.h"
#include "gui/ProgramIcon.h"
#include "gui/Updatable.h"
#include "gui/WindowInternals.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

using platform::Message;
using platform::MessageType;

EventClock clockFunction = nullptr;

struct Queue {
    std::deque<Event> events;
    Event pendingDoubleClick, pendingHover;
    bool haveDoubleClick = false, haveHover = false;
    // Double clicks: the previous left press and whether the test is armed.
    bool armed = true;
    double lastPressTime = -1e9;
    int lastPressX = 0, lastPressY = 0;
    double interval = -1;
    // Updatables; a removed entry turns null until the outermost pass ends.
    std::vector<Updatable*> updatables;
    int updating = 0;
    // Keys: the next character is swallowed; Alt went down on its own.
    bool swallowChar = false;
    bool altMark = false;
};

Queue& queue() {
    static Queue q;
    return q;
}

double doubleClickInterval() {
    Queue& q = queue();
    if (q.interval < 0)
        q.interval = platform::screenMetrics().doubleClickSeconds;
    return q.interval;
}

void doubleClickTest(const Event& press) {
    Queue& q = queue();
    bool quick = press.time - q.lastPressTime <= doubleClickInterval();
    if (quick) {
        int dx = press.x - q.lastPressX, dy = press.y - q.lastPressY;
        bool made = q.armed && press.x > 0 && press.y > 0 && q.lastPressX > 0 && q.lastPressY > 0 &&
                    dx * dx + dy * dy < 9;
        if (made) {
            q.pendingDoubleClick = press;
            q.pendingDoubleClick.type = EventType::DoubleClick;
            q.haveDoubleClick = true;
        }
        // A third quick press must not make a second double click.
        q.armed = !made;
    } else {
        q.armed = true;
    }
    q.lastPressTime = press.time;
    q.lastPressX = press.x;
    q.lastPressY = press.y;
}

void hoverTest() {
    ToolkitState& t = toolkit();
    if (!t.appActive || !t.hoverWindow)
        return;
    if (!Window::isWindow(t.hoverWindow) || !t.hoverWindow->isOpen()) {
        t.hoverWindow = nullptr;
        return;
    }
    double rest = eventTime() - t.hoverTime;
    if (rest <= 0.5)
        return;
    if (rest < 1.5) {
        Queue& q = queue();
        q.pendingHover = Event(EventType::Hover, t.hoverWindow);
        q.pendingHover.x = t.hoverX;
        q.pendingHover.y = t.hoverY;
        q.haveHover = true;
    }
    t.hoverWindow = nullptr;
}

// Polls every updatable in the order they were added. Entries removed during
// the pass (the running one or any other, even deleted ones) turn null and are
// skipped; the list is compacted only when no pass is running.
bool runUpdates() {
    Queue& q = queue();
    bool worked = false;
    ++q.updating;
    for (size_t i = 0; i < q.updatables.size(); ++i) {
        Updatable* u = q.updatables[i];
        if (u && u->update())
            worked = true;
    }
    if (--q.updating == 0)
        q.updatables.erase(std::remove(q.updatables.begin(), q.updatables.end(), nullptr), q.updatables.end());
    return worked;
}

void fillModifiers(Event& e, const Message& m) {
    e.shift = m.shift;
    e.ctrl = m.ctrl;
    e.alt = m.alt;
}

// A position counted upward in the client area, which becomes the window's
// last pointer position, and the buttons and modifiers of the message.
void fillPointer(Event& e, const Message& m, Window* w, int x, int y) {
    WindowInternals& in = w->internals();
    e.x = in.lastX = x;
    e.y = in.lastY = y;
    e.left = m.buttons & 1;
    e.middle = (m.buttons >> 1) & 1;
    e.right = (m.buttons >> 2) & 1;
    fillModifiers(e, m);
}

// The message's own position, turned to count upward.
void fillPointer(Event& e, const Message& m, Window* w) { fillPointer(e, m, w, m.x, w->getBounds().height - 1 - m.y); }

void queueKey(int type, Window* w, int code, const Message& m) {
    Event e(type, w);
    e.code = code;
    fillModifiers(e, m);
    queueEvent(e);
}

int specialKeyCode(int key) {
    switch (key) {
    case platform::KeyBackspace: return 8;
    case platform::KeyTab: return 9;
    case platform::KeyEnter: return 13;
    case platform::KeyEscape: return 27;
    case platform::KeyLeft: return Key::Left;
    case platform::KeyRight: return Key::Right;
    case platform::KeyUp: return Key::Up;
    case platform::KeyDown: return Key::Down;
    case platform::KeyInsert: return Key::Insert;
    case platform::KeyDelete: return Key::Delete;
    case platform::KeyHome: return Key::Home;
    case platform::KeyEnd: return Key::End;
    case platform::KeyPageUp: return Key::PageUp;
    case platform::KeyPageDown: return Key::PageDown;
    default:
        if (key >= platform::KeyF1 && key <= platform::KeyF12)
            return Key::F1 + (key - platform::KeyF1);
        return 0;
    }
}

void keyDown(Window* w, const Message& m) {
    int code = specialKeyCode(m.key);
    if (!code)
        return;  // characters come with their own message
    // These four also type a character; each must make one event only.
    if (code == 8 || code == 9 || code == 13 || code == 27)
        queue().swallowChar = true;
    queueKey(EventType::Key, w, code, m);
}

void sysKeyDown(Window* w, const Message& m) {
    Queue& q = queue();
    if (!m.altContext) {
        queueKey(EventType::Key, w, Key::F10, m);
        return;
    }
    int key = m.key;
    if (key == platform::KeyAlt) {
        q.altMark = true;
        return;
    }
    if (key == platform::KeySpace)
        return;
    q.altMark = false;
    int code = 0;
    if (key >= platform::KeyF1 && key <= platform::KeyF12) {
        code = Key::F1 + (key - platform::KeyF1);
    } else if (key >= 'A' && key <= 'Z') {
        code = key - 'A' + 'a';
        orvel::debug("Alt-%c\n", key);
    } else if (key >= '0' && key <= '9') {
        code = key;
    }
    if (code)
        queueKey(EventType::Shortcut, w, code, m);
}

// Follows the pointer from window to window: the window under it is captured
// so that leaving it is seen. True when the pointer changed windows (then the
// move makes no move event). Taking back the window the pointer is in, after
// a widget let the mouse go, is no change: that move is a move like any other.
bool trackMouse() {
    ToolkitState& t = toolkit();
    if (!t.appActive || t.mouseGrab)
        return false;
    int cx, cy;
    platform::cursorPosition(cx, cy);
    Window* under = Window::findWindow(platform::windowAt(cx, cy));
    while (under && under->getWindowType() == Window::Subwindow && under->getParentWindow())
        under = under->getParentWindow();
    if (under && under != t.pointerWindow) {
        platform::setCapture(under->getHWND());
        if (t.pointerWindow && Window::isWindow(t.pointerWindow))
            queueEvent(Event(EventType::Leave, t.pointerWindow));
        queueEvent(Event(EventType::Enter, under));
        t.pointerWindow = under;
        return true;
    }
    if (under && !platform::capture()) {
        platform::setCapture(under->getHWND());
        return false;
    }
    if (t.pointerWindow && Window::isWindow(t.pointerWindow) && platform::capture() == t.pointerWindow->getHWND()) {
        int x, y, w, h;
        if (platform::clientRect(t.pointerWindow->getHWND(), x, y, w, h) && cx >= x && cy >= y && cx < x + w &&
            cy < y + h)
            return false;
    }
    platform::releaseCapture();
    if (t.pointerWindow && Window::isWindow(t.pointerWindow))
        queueEvent(Event(EventType::Leave, t.pointerWindow));
    t.pointerWindow = nullptr;
    return true;
}

void mouseMove(Window* w, const Message& m) {
    showWindowCursor(w);
    if (trackMouse())
        return;
    int lastX = w->lastPointerX(), lastY = w->lastPointerY();
    Event e(EventType::Move, w);
    fillPointer(e, m, w);
    if (e.x != lastX || e.y != lastY)
        queueEvent(e);
}

int buttonEvent(MessageType type) {
    switch (type) {
    case MessageType::LeftButtonDown: return EventType::LeftDown;
    case MessageType::LeftButtonUp: return EventType::LeftUp;
    case MessageType::MiddleButtonDown: return EventType::MiddleDown;
    case MessageType::MiddleButtonUp: return EventType::MiddleUp;
    case MessageType::RightButtonDown: return EventType::RightDown;
    default: return EventType::RightUp;
    }
}

}  // namespace

void setEventClock(EventClock clock) { clockFunction = clock; }

double eventTime() { return clockFunction ? clockFunction() : orvel::getTime(); }

Event::Event(std::int32_t t, Window* w) : type(t), window(w), time(eventTime()) {}

void queueEvent(const Event& event) { queue().events.push_back(event); }

Updatable::~Updatable() { stopUpdates(this); }

void Updatable::startUpdates(Updatable* object) {
    std::vector<Updatable*>& list = queue().updatables;
    if (object && std::find(list.begin(), list.end(), object) == list.end())
        list.push_back(object);
}

void Updatable::stopUpdates(Updatable* object) {
    std::vector<Updatable*>& list = queue().updatables;
    auto it = std::find(list.begin(), list.end(), object);
    if (it == list.end())
        return;
    if (queue().updating)
        *it = nullptr;
    else
        list.erase(it);
}

bool isModifierDown(int code) {
    switch (code) {
    case Key::LeftShift: return platform::isKeyDown(platform::KeyLeftShift);
    case Key::RightShift: return platform::isKeyDown(platform::KeyRightShift);
    case Key::LeftCtrl: return platform::isKeyDown(platform::KeyLeftControl);
    case Key::RightCtrl: return platform::isKeyDown(platform::KeyRightControl);
    default: return false;
    }
}

bool isApplicationActive() { return toolkit().appActive; }

bool getNextEvent(Event& event, Idler* idler) {
    Queue& q = queue();
    ToolkitState& t = toolkit();
    if (q.haveDoubleClick) {
        event = q.pendingDoubleClick;
        q.haveDoubleClick = false;
    } else if (q.haveHover) {
        event = q.pendingHover;
        q.haveHover = false;
    } else {
        // Messages are taken in only when the queue has run dry: the order of
        // events stays the same, and a burst of input is not slowed by asking
        // the display for more after every event.
        if (q.events.empty())
            platform::pumpMessages();
        if (!q.events.empty()) {
            event = q.events.front();
            q.events.pop_front();
            if (event.type == EventType::Move) {
                if (event.x >= 1 && event.y >= 1) {
                    t.hoverWindow = event.window;
                    t.hoverX = event.x;
                    t.hoverY = event.y;
                    t.hoverTime = event.time;
                } else {
                    t.hoverWindow = nullptr;
                }
            } else if (event.type == EventType::Leave) {
                t.hoverWindow = nullptr;
            } else if (event.type == EventType::LeftDown) {
                doubleClickTest(event);
            }
        } else {
            bool worked = runUpdates();
            int repainted = Window::repaintDirtyWindows();
            if (!worked && repainted == 0 && idler)
                idler->idle();
            event = Event();
        }
    }
    hoverTest();
    Window::destroyClosedWindows();
    return Window::anyWindowOpen();
}

void dispatchEvent(Event& event) {
    ToolkitState& t = toolkit();
    switch (event.type) {
    case EventType::None:
        return;
    case EventType::Activate:
        t.hoverWindow = nullptr;
        return;
    case EventType::Deactivate:
        Window::closeActivePopup();
        if (Window::isWindow(event.window))
            Window::setKeyboardFocus(event.window, nullptr);
        return;
    default:
        if (t.appActive && Window::isWindow(event.window))
            event.window->handleWindowEvent(event);
    }
}

long WindowProc(const Message& m) {
    ToolkitState& t = toolkit();
    if (t.creating) {
        if (m.type == MessageType::Create) {
            WindowInternals& in = t.creating->internals();
            in.handle = m.window;
            in.open = true;
        }
        return 0;
    }
    Window* w = Window::findWindow(m.window);
    if (!w) {
        orvel::debug("Window %x not found!  (message=%x\n)\n", unsigned(m.window), unsigned(m.type));
        return 0;
    }
    Queue& q = queue();
    switch (m.type) {
    case MessageType::Destroy:
        w->internals().open = false;
        break;
    case MessageType::Size: {
        Rect b = w->getBounds();
        b.width = m.width;
        b.height = m.height;
        w->Container::setBounds(b);
        w->invalidate();
        break;
    }
    case MessageType::Paint:
        w->repaint();
        break;
    case MessageType::Close:
        w->close();
        break;
    case MessageType::ActivateApp:
        if (m.activate) {
            t.appActive = true;
            queueEvent(Event(EventType::Activate, w));
        } else {
            platform::releaseCapture();
            t.appActive = false;
            queueEvent(Event(EventType::Deactivate, w));
        }
        break;
    case MessageType::KeyDown:
        keyDown(w, m);
        break;
    case MessageType::Char:
        if (!q.swallowChar)
            queueKey(EventType::Key, w, m.character, m);
        q.swallowChar = false;
        break;
    case MessageType::SysKeyDown:
        sysKeyDown(w, m);
        break;
    case MessageType::SysKeyUp:
        if (m.key == platform::KeyAlt && q.altMark) {
            q.altMark = false;
            Event e(EventType::Key, w);
            e.code = Key::AltAlone;
            queueEvent(e);
        }
        break;
    case MessageType::MouseMove:
        mouseMove(w, m);
        break;
    case MessageType::LeftButtonDown:
    case MessageType::LeftButtonUp:
    case MessageType::MiddleButtonDown:
    case MessageType::MiddleButtonUp:
    case MessageType::RightButtonDown:
    case MessageType::RightButtonUp: {
        Event e(buttonEvent(m.type), w);
        fillPointer(e, m, w);
        queueEvent(e);
        break;
    }
    case MessageType::MouseWheel: {
        if (m.wheel == 0)
            break;
        // Where the pointer last was: the wheel's own position is not used.
        Event e(EventType::Wheel, w);
        fillPointer(e, m, w, w->lastPointerX(), w->lastPointerY());
        e.wheel = m.wheel;
        queueEvent(e);
        break;
    }
    case MessageType::QueryDragIcon:
        return long(programIcon());
    case MessageType::MouseActivate:
        return w->internals().type == Window::Popup ? platform::NoActivateOnPress : platform::ActivateOnPress;
    default:
        break;
    }
    return 0;
}

}  // namespace pellium
