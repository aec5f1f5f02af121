#include "Windows.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Display.h"
#include "platform/ModeGuard.h"
#include "platform/SdlVideo.h"

namespace platform {

class Cursor {
public:
    SDL_Cursor* sdl = nullptr;
};

namespace {

struct Entry {
    SDL_Window* sdl = nullptr;
    WindowKind kind = WindowKind::TopLevel;
    WindowId parent = 0;
    int childX = 0, childY = 0;  // a child's place in its parent
    int monitor = 0;
    unsigned long xWindow = 0;  // the X window, 0 on other systems
    bool gone = false;          // another program destroyed it
    bool closeSent = false;
};

struct State {
    bool started = false;
    bool available = false;
    WindowProcedure procedure = nullptr;
    std::map<WindowId, Entry> windows;
    bool keys[KeyCount] = {};
    std::uint8_t buttons = 0;  // as the messages handed out so far left them
    int cursorX = 0, cursorY = 0;
    WindowId captured = 0;
    bool appActive = false;
    WindowId lastFocused = 0;
    // The window the layer gave the keys to, counted as holding them until
    // the display reports a focus change made after the request: SDL knows
    // of the focus only from those reports.
    WindowId focusAsked = 0;
    unsigned long focusAskedSerial = 0;
    // Top-level windows in the order they last held the keys, the latest last.
    std::vector<WindowId> focusOrder;
    Cursor cursors[9];
    // X's own key symbol for the key event SDL reports next (0 for none).
    KeySym pendingKeysym = 0;
    // X windows of ours that vanished: errors about them are expected.
    std::set<unsigned long> goneXWindows;
    int (*previousXErrorHandler)(Display*, XErrorEvent*) = nullptr;
    Display* xDisplay = nullptr;  // SDL's connection, once a window showed it
    // Each icon as its _NET_WM_ICON value: width, height and the pixels of
    // every size in turn, one long each.
    std::vector<std::vector<unsigned long>> icons;
    std::chrono::steady_clock::time_point nextPump;
};

State& state() {
    static State s;
    return s;
}

// Plain flags, not in State: exit paths read them while statics are torn down.
bool displayLost = false;
void (*displayLostHandler)() = nullptr;

// At exit: the display modes go back and the windows go. SDL itself stays
// loaded; the process is ending and its display connection ends with it.
// After the connection was lost nothing may ask it anything: SDL would wait
// for the server's answer for ever.
void stopVideo() {
    if (displayLost)
        return;
    State& s = state();
    restoreDisplayModes();
    for (Cursor& c : s.cursors)
        if (c.sdl) {
            SDL_FreeCursor(c.sdl);
            c.sdl = nullptr;
        }
    for (auto& w : s.windows)
        SDL_DestroyWindow(w.second.sdl);
    s.windows.clear();
    s.available = false;
}

Entry* find(WindowId id) {
    auto it = state().windows.find(id);
    return it == state().windows.end() ? nullptr : &it->second;
}

long deliver(const Message& m) {
    State& s = state();
    if (!s.procedure)
        return 0;
    return s.procedure(m);
}

// The screen position of a window's client origin.
void clientOrigin(WindowId id, int& x, int& y) {
    x = y = 0;
    Entry* e = find(id);
    if (!e)
        return;
    if (e->kind == WindowKind::Child) {
        clientOrigin(e->parent, x, y);
        x += e->childX;
        y += e->childY;
        return;
    }
    SDL_GetWindowPosition(e->sdl, &x, &y);
}

void noteKey(int key, bool down) {
    State& s = state();
    if (key <= KeyNone || key >= KeyCount)
        return;
    s.keys[key] = down;
    if (key == KeyLeftShift || key == KeyRightShift)
        s.keys[KeyShift] = s.keys[KeyLeftShift] || s.keys[KeyRightShift];
    if (key == KeyLeftControl || key == KeyRightControl)
        s.keys[KeyControl] = s.keys[KeyLeftControl] || s.keys[KeyRightControl];
}

// Keeps key state and pointer position in step with a message about to be handed out.
void follow(const Message& m) {
    switch (m.type) {
    case MessageType::KeyDown:
    case MessageType::SysKeyDown:
        noteKey(m.key, true);
        break;
    case MessageType::KeyUp:
    case MessageType::SysKeyUp:
        noteKey(m.key, false);
        break;
    case MessageType::MouseMove:
    case MessageType::LeftButtonDown:
    case MessageType::LeftButtonUp:
    case MessageType::MiddleButtonDown:
    case MessageType::MiddleButtonUp:
    case MessageType::RightButtonDown:
    case MessageType::RightButtonUp: {
        int ox, oy;
        clientOrigin(m.window, ox, oy);
        state().cursorX = ox + m.x;
        state().cursorY = oy + m.y;
        break;
    }
    default:
        break;
    }
}

void send(const Message& m) {
    follow(m);
    deliver(m);
}

// The keypad's navigation keys (NumLock off), as X names them and as SDL
// reports their keys whatever the NumLock state.
struct KeypadKey {
    SDL_Keycode sdl;
    KeySym x;
    int key;
};
const KeypadKey keypadKeys[] = {{SDLK_KP_4, XK_KP_Left, KeyLeft},      {SDLK_KP_6, XK_KP_Right, KeyRight},
                                {SDLK_KP_8, XK_KP_Up, KeyUp},          {SDLK_KP_2, XK_KP_Down, KeyDown},
                                {SDLK_KP_7, XK_KP_Home, KeyHome},      {SDLK_KP_1, XK_KP_End, KeyEnd},
                                {SDLK_KP_9, XK_KP_Prior, KeyPageUp},   {SDLK_KP_3, XK_KP_Next, KeyPageDown},
                                {SDLK_KP_0, XK_KP_Insert, KeyInsert},  {SDLK_KP_PERIOD, XK_KP_Delete, KeyDelete}};

// With NumLock off a keypad key is its navigation key; with it on the key
// types a digit, which arrives as text. X's symbol for the press tells which;
// without one SDL's NumLock flag does (it misses changes made while another
// program had the keyboard).
int keypadKeyOf(const SDL_Keysym& k, KeySym x) {
    for (const KeypadKey& p : keypadKeys)
        if (p.sdl == k.sym) {
            bool navigation = x ? x == p.x : (k.mod & KMOD_NUM) == 0;
            return navigation ? p.key : KeyOther;
        }
    return KeyNone;
}

int keyOf(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return KeyF1 + (k - SDLK_F1);
    switch (k) {
    case SDLK_BACKSPACE: return KeyBackspace;
    case SDLK_TAB: return KeyTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KeyEnter;
    case SDLK_ESCAPE: return KeyEscape;
    case SDLK_SPACE: return KeySpace;
    case SDLK_LSHIFT: return KeyLeftShift;
    case SDLK_RSHIFT: return KeyRightShift;
    case SDLK_LCTRL: return KeyLeftControl;
    case SDLK_RCTRL: return KeyRightControl;
    case SDLK_LALT:
    case SDLK_RALT: return KeyAlt;
    case SDLK_LEFT: return KeyLeft;
    case SDLK_RIGHT: return KeyRight;
    case SDLK_UP: return KeyUp;
    case SDLK_DOWN: return KeyDown;
    case SDLK_INSERT: return KeyInsert;
    case SDLK_DELETE: return KeyDelete;
    case SDLK_HOME: return KeyHome;
    case SDLK_END: return KeyEnd;
    case SDLK_PAGEUP: return KeyPageUp;
    case SDLK_PAGEDOWN: return KeyPageDown;
    default: return KeyOther;
    }
}

// A message with the key and button state as the messages before it left it.
// (SDL's own state is already that after the last waiting event.)
Message base(MessageType type, WindowId window) {
    State& s = state();
    Message m;
    m.type = type;
    m.window = window;
    m.shift = s.keys[KeyShift];
    m.ctrl = s.keys[KeyControl];
    m.alt = s.keys[KeyAlt];
    m.buttons = s.buttons;
    return m;
}

void withModifiers(Message& m, Uint16 mod) {
    m.shift = (mod & KMOD_SHIFT) != 0;
    m.ctrl = (mod & KMOD_CTRL) != 0;
    m.alt = (mod & KMOD_ALT) != 0;
}

// Win32 order: the key message, then the character it types. Alt turns keys
// into system keys; F10 is one even without Alt.
void translateKey(const SDL_KeyboardEvent& k, KeySym x) {
    WindowId w = k.windowID;
    int key = keypadKeyOf(k.keysym, x);
    if (key == KeyNone)
        key = keyOf(k.keysym.sym);
    bool alt = (k.keysym.mod & KMOD_ALT) != 0 || key == KeyAlt;
    bool down = k.type == SDL_KEYDOWN;
    Message m = base(MessageType::KeyDown, w);
    withModifiers(m, k.keysym.mod);
    m.key = key;
    if (alt) {
        m.type = down ? MessageType::SysKeyDown : MessageType::SysKeyUp;
        m.altContext = true;
    } else if (key == KeyF1 + 9) {
        m.type = down ? MessageType::SysKeyDown : MessageType::SysKeyUp;
    } else if (!down) {
        m.type = MessageType::KeyUp;
    }
    send(m);
    if (!down || alt)
        return;
    int character = 0;
    switch (key) {
    case KeyBackspace: character = 8; break;
    case KeyTab: character = 9; break;
    case KeyEnter: character = 13; break;
    case KeyEscape: character = 27; break;
    default:
        // SDL types no text for Ctrl+letter; Win32 gives the control character.
        if ((k.keysym.mod & KMOD_CTRL) && key >= 'A' && key <= 'Z')
            character = key - 'A' + 1;
    }
    if (character) {
        Message c = base(MessageType::Char, w);
        withModifiers(c, k.keysym.mod);
        c.character = character;
        send(c);
    }
}

// UTF-8 text to Latin-1 characters; anything beyond becomes '?'.
void translateText(const SDL_TextInputEvent& t) {
    if (state().keys[KeyAlt] || state().keys[KeyControl])
        return;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(t.text);
    while (*p) {
        unsigned c = *p++;
        if (c >= 0x80) {
            unsigned extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0, read = 0;
            c &= 0x3F >> extra;
            for (; read < extra && (*p & 0xC0) == 0x80; ++read)
                c = (c << 6) | (*p++ & 0x3F);
            // A cut-off sequence must not pass for a control character.
            if (extra == 0 || read < extra || c > 0xFF)
                c = '?';
        }
        Message m = base(MessageType::Char, t.windowID);
        m.character = int(c);
        send(m);
    }
}

MessageType buttonMessage(Uint8 button, bool down) {
    switch (button) {
    case SDL_BUTTON_LEFT: return down ? MessageType::LeftButtonDown : MessageType::LeftButtonUp;
    case SDL_BUTTON_MIDDLE: return down ? MessageType::MiddleButtonDown : MessageType::MiddleButtonUp;
    default: return down ? MessageType::RightButtonDown : MessageType::RightButtonUp;
    }
}

void translateWindowEvent(const SDL_WindowEvent& e) {
    WindowId w = e.windowID;
    switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        Message m = base(MessageType::Size, w);
        m.width = e.data1;
        m.height = e.data2;
        send(m);
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        send(base(MessageType::Paint, w));
        break;
    case SDL_WINDOWEVENT_MOVED:
        send(base(MessageType::Move, w));
        break;
    case SDL_WINDOWEVENT_CLOSE:
        send(base(MessageType::Close, w));
        break;
    case SDL_WINDOWEVENT_LEAVE: {
        // The pointer left: a move at its real place lets the toolkit see that.
        int gx, gy, ox, oy;
        SDL_GetGlobalMouseState(&gx, &gy);
        clientOrigin(w, ox, oy);
        Message m = base(MessageType::MouseMove, w);
        m.x = gx - ox;
        m.y = gy - oy;
        send(m);
        break;
    }
    default:
        break;
    }
}

Entry* findX(unsigned long xWindow) {
    for (auto& w : state().windows)
        if (w.second.xWindow == xWindow)
            return &w.second;
    return nullptr;
}

void noteGone(Entry& e) {
    e.gone = true;
    state().goneXWindows.insert(e.xWindow);
}

// Another program may destroy a window of ours at any time; what SDL and the
// GL driver still ask of it then fails. Such errors only confirm that it went
// (it is closed at the next pump); every other error goes on to SDL's handler.
int onXError(Display* display, XErrorEvent* error) {
    State& s = state();
    if (s.goneXWindows.count(error->resourceid))
        return 0;
    // GLX names a drawable that went with an error code of its own, from
    // the extensions' range.
    const bool extension = error->request_code >= 128 && error->error_code >= FirstExtensionError;
    if (error->error_code == BadWindow || error->error_code == BadDrawable || extension)
        if (Entry* e = findX(error->resourceid)) {
            noteGone(*e);
            return 0;
        }
    return s.previousXErrorHandler ? s.previousXErrorHandler(display, error) : 0;
}

// A report of the focus SDL acts on (not one about a grab or the pointer),
// made after the layer's last request: from here on SDL knows the focus.
void noteFocusReport(const XFocusChangeEvent& f) {
    State& s = state();
    if (!s.focusAsked || f.mode == NotifyGrab || f.mode == NotifyUngrab || f.detail == NotifyInferior ||
        f.detail == NotifyPointer || long(f.serial - s.focusAskedSerial) < 0)
        return;
    Entry* asked = find(s.focusAsked);
    if (f.type == FocusIn || !asked || asked->xWindow == f.window)
        s.focusAsked = 0;
}

// The connection to the display is gone (its server ended, or another
// program killed it). Xlib cannot go on, so the program ends here, with no
// further call to X; a second loss met on the way out ends it at once.
int onXIOError(Display*) {
    if (displayLost)
        _exit(1);
    displayLost = true;
    if (displayLostHandler)
        displayLostHandler();
    std::exit(1);
}

// X's own events, seen before SDL's translation of them.
void translateX(const XEvent& x) {
    State& s = state();
    if (x.type == KeyPress || x.type == KeyRelease) {
        XKeyEvent key = x.xkey;
        char text[8];
        XLookupString(&key, text, sizeof text, &s.pendingKeysym, nullptr);
    } else if (x.type == DestroyNotify) {
        if (Entry* e = findX(x.xdestroywindow.window))
            noteGone(*e);
    } else if (x.type == FocusIn || x.type == FocusOut) {
        noteFocusReport(x.xfocus);
    }
}

// A window that vanished is closed as if the user had asked.
void closeGoneWindows() {
    std::vector<WindowId> closing;
    for (auto& w : state().windows)
        if (w.second.gone && !w.second.closeSent) {
            w.second.closeSent = true;
            closing.push_back(w.first);
        }
    for (WindowId w : closing)
        if (find(w))
            send(base(MessageType::Close, w));
}

// The window that holds the keys for a window: a child's or a popup's owner,
// followed up to a top-level or full-screen window.
WindowId ownerOf(WindowId id) {
    for (Entry* e = find(id); e && (e->kind == WindowKind::Child || e->kind == WindowKind::Popup) && find(e->parent);
         e = find(id))
        id = e->parent;
    return id;
}

bool shown(const Entry& e) { return (SDL_GetWindowFlags(e.sdl) & SDL_WINDOW_SHOWN) != 0; }

// A window manager owns the screen's WM_Sn selection. It hands out the keys
// by its own rules, which the layer leaves alone; without one nobody hands
// them out but the layer. Elsewhere than on X a compositor always does.
bool windowManagerRuns() {
    Display* display = state().xDisplay;
    if (!display)
        return true;
    char name[32];
    std::snprintf(name, sizeof name, "WM_S%d", DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, name, False)) != None;
}

// Gives a window the keys; until the X display reports it, the window
// counts as holding them.
void giveFocus(WindowId id) {
    State& s = state();
    Entry* e = find(id);
    if (!e || SDL_SetWindowInputFocus(e->sdl) != 0 || !s.xDisplay)
        return;
    s.focusAsked = id;
    s.focusAskedSerial = NextRequest(s.xDisplay) - 1;
}

// The application is active while one of its windows has the keyboard focus;
// focus moving between its own windows changes nothing.
void settleActivation() {
    State& s = state();
    WindowId focus = inputFocus();
    bool active = focus != 0;
    if (active) {
        s.lastFocused = focus;
        WindowId top = ownerOf(focus);
        if (s.focusOrder.empty() || s.focusOrder.back() != top) {
            s.focusOrder.erase(std::remove(s.focusOrder.begin(), s.focusOrder.end(), top), s.focusOrder.end());
            s.focusOrder.push_back(top);
        }
    }
    if (active == s.appActive)
        return;
    s.appActive = active;
    // Deactivation goes to the window that had the focus when it still exists.
    WindowId target = active ? focus : s.lastFocused;
    if (!find(target))
        target = s.windows.empty() ? 0 : s.windows.begin()->first;
    if (!target)
        return;
    Message m = base(MessageType::ActivateApp, target);
    m.activate = active;
    send(m);
}

// A press on a window whose top-level window lacks the keys activates that
// window, unless the procedure refuses (popups do): the keys go there and
// the press arrives with the application active.
void activateOnPress(WindowId id) {
    WindowId top = ownerOf(id);
    if (ownerOf(inputFocus()) == top)
        return;
    if (deliver(base(MessageType::MouseActivate, id)) == NoActivateOnPress || windowManagerRuns())
        return;
    giveFocus(top);
    settleActivation();
}

// Whether the keys are in a window or in a child inside it.
bool holdsKeys(WindowId id) {
    WindowId focus = inputFocus();
    for (Entry* e = find(focus); e && focus != id && e->kind == WindowKind::Child; e = find(focus))
        focus = e->parent;
    return focus && focus == id;
}

// A window that holds the keys and goes away hands them on, as a window
// manager would: to its owner, else to the window that held them before.
// The display would give them to nobody, and the program would take no more
// input. A popup is no window manager's to know of, so its keys go back to
// its owner whether or not one runs.
void passFocusOn(WindowId going) {
    State& s = state();
    const Entry* e = find(going);
    if (!e || !holdsKeys(going))
        return;
    auto usable = [&](WindowId id) {
        const Entry* w = find(id);
        return id != going && w && shown(*w);
    };
    WindowId next = e->parent ? ownerOf(e->parent) : 0;
    for (auto it = s.focusOrder.rbegin(); !usable(next) && it != s.focusOrder.rend(); ++it)
        next = *it;
    if (usable(next) && (e->kind == WindowKind::Popup || !windowManagerRuns()))
        giveFocus(next);
}

void translate(const SDL_Event& e) {
    State& s = state();
    if (e.type == SDL_SYSWMEVENT) {
        if (e.syswm.msg->subsystem == SDL_SYSWM_X11)
            translateX(e.syswm.msg->msg.x11.event);
        return;
    }
    // The symbol belongs to the event SDL made from the same X event: this one.
    KeySym keysym = s.pendingKeysym;
    s.pendingKeysym = 0;
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (find(e.key.windowID))
            translateKey(e.key, keysym);
        break;
    case SDL_TEXTINPUT:
        if (find(e.text.windowID))
            translateText(e.text);
        break;
    case SDL_MOUSEMOTION:
        if (find(e.motion.windowID)) {
            Message m = base(MessageType::MouseMove, e.motion.windowID);
            m.buttons = std::uint8_t(((e.motion.state & SDL_BUTTON_LMASK) ? 1 : 0) |
                                     ((e.motion.state & SDL_BUTTON_MMASK) ? 2 : 0) |
                                     ((e.motion.state & SDL_BUTTON_RMASK) ? 4 : 0));
            m.x = e.motion.x;
            m.y = e.motion.y;
            send(m);
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (find(e.button.windowID) && e.button.button <= SDL_BUTTON_RIGHT) {
            // A press counts its own button as down, a release no longer.
            bool down = e.type == SDL_MOUSEBUTTONDOWN;
            if (down)
                activateOnPress(e.button.windowID);
            std::uint8_t bit = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_MIDDLE ? 2 : 4;
            State& s = state();
            s.buttons = std::uint8_t(down ? s.buttons | bit : s.buttons & ~bit);
            Message m = base(buttonMessage(e.button.button, down), e.button.windowID);
            m.x = e.button.x;
            m.y = e.button.y;
            send(m);
        }
        break;
    case SDL_MOUSEWHEEL:
        if (find(e.wheel.windowID) && e.wheel.y != 0) {
            Message m = base(MessageType::MouseWheel, e.wheel.windowID);
            int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            m.wheel = notches * 120;
            m.x = e.wheel.mouseX;
            m.y = e.wheel.mouseY;
            send(m);
        }
        break;
    case SDL_WINDOWEVENT:
        if (find(e.window.windowID))
            translateWindowEvent(e.window);
        break;
    case SDL_QUIT: {
        // The system asks the program to end: every top-level window is asked to close.
        std::vector<WindowId> closing;
        for (auto& w : state().windows)
            if (w.second.kind == WindowKind::TopLevel || w.second.kind == WindowKind::FullScreen)
                closing.push_back(w.first);
        for (WindowId w : closing)
            if (find(w))
                send(base(MessageType::Close, w));
        break;
    }
    default:
        break;
    }
}

// Puts a child window inside its parent where the system allows it.
void embed(SDL_Window* child, SDL_Window* parent, int x, int y) {
    SDL_SysWMinfo ci, pi;
    SDL_VERSION(&ci.version);
    SDL_VERSION(&pi.version);
    if (SDL_GetWindowWMInfo(child, &ci) && SDL_GetWindowWMInfo(parent, &pi) && ci.subsystem == SDL_SYSWM_X11 &&
        pi.subsystem == SDL_SYSWM_X11) {
        XReparentWindow(ci.info.x11.display, ci.info.x11.window, pi.info.x11.window, x, y);
        XFlush(ci.info.x11.display);
        return;
    }
    int px, py;
    SDL_GetWindowPosition(parent, &px, &py);
    SDL_SetWindowPosition(child, px + x, py + y);
}

// Whether the display names an X server on this machine whose socket is
// there (":0", ":0.0", "unix:0").
bool localServerListening(const char* display) {
    if (!display)
        return false;
    const char* colon = std::strchr(display, ':');
    if (!colon || (colon != display && std::strncmp(display, "unix:", 5) != 0))
        return false;
    std::string socket = "/tmp/.X11-unix/X" + std::string(colon + 1, std::strcspn(colon + 1, "."));
    return access(socket.c_str(), F_OK) == 0;
}

// Starts SDL's video on a driver that shows windows to a person; without a
// display SDL would fall back to drivers that show nothing to anyone. An X
// server refuses connections for a moment while it resets after its last
// client left, so a local server whose socket is there gets two seconds.
const char* startDisplayDriver() {
    Uint32 giveUp = SDL_GetTicks() + 2000;
    for (;;) {
        if (SDL_Init(SDL_INIT_VIDEO) == 0) {
            const char* driver = SDL_GetCurrentVideoDriver();
            if (driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0)
                return driver;
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        if (!localServerListening(std::getenv("DISPLAY")) || SDL_TICKS_PASSED(SDL_GetTicks(), giveUp))
            return nullptr;
        SDL_Delay(20);
    }
}

// Whether SDL's queue or Xlib's holds messages already taken from the
// display; knowing it costs no system call.
bool messagesHeld(const State& s) {
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0 ||
           (s.xDisplay && XEventsQueued(s.xDisplay, QueuedAlready) > 0);
}

}  // namespace

namespace sdl {

bool start() {
    State& s = state();
    if (s.started)
        return s.available;
    s.started = true;
    // SDL turns SIGINT and SIGTERM into a quit event, which closes the windows.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Software windows go to the screen through X's own images. SDL would
    // otherwise present them with a GL renderer of its own, slow to start and
    // leaving its GL context current under the toolkit's shared one.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const char* driver = startDisplayDriver();
    if (!driver)
        return false;
    s.available = true;
    // X's events come too: the keypad's symbols, and windows another program destroyed.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    if (std::strcmp(driver, "x11") == 0) {
        s.previousXErrorHandler = XSetErrorHandler(onXError);
        XSetIOErrorHandler(onXIOError);
    }
    std::atexit(stopVideo);
    return true;
}

SDL_Window* window(WindowId id) {
    Entry* e = find(id);
    return e ? e->sdl : nullptr;
}

SDL_Window* fullScreenWindow(int monitor) {
    for (auto& w : state().windows)
        if (w.second.kind == WindowKind::FullScreen && w.second.monitor == monitor)
            return w.second.sdl;
    return nullptr;
}

}  // namespace sdl

bool videoAvailable() { return sdl::start(); }

std::string videoProblem() {
    if (sdl::start())
        return "";
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return "Cannot open a display: DISPLAY is not set.";
    return std::string("Cannot open the display \"") + display + "\".";
}

void setWindowProcedure(WindowProcedure procedure) { state().procedure = procedure; }

void setDisplayLostHandler(void (*handler)()) { displayLostHandler = handler; }

IconId createIcon(const std::vector<IconPicture>& pictures) {
    std::vector<unsigned long> value;
    for (const IconPicture& p : pictures) {
        if (p.width < 1 || p.height < 1 || !p.pixels)
            continue;
        value.push_back((unsigned long)p.width);
        value.push_back((unsigned long)p.height);
        value.insert(value.end(), p.pixels, p.pixels + size_t(p.width) * size_t(p.height));
    }
    if (value.empty())
        return 0;
    std::vector<std::vector<unsigned long>>& icons = state().icons;
    icons.push_back(std::move(value));
    return IconId(icons.size());
}

namespace {

// Every size at once, for the window manager to choose from; SDL's own call
// would set one. Elsewhere than on X the window goes without.
void showIcon(const Entry& e, IconId icon) {
    const std::vector<std::vector<unsigned long>>& icons = state().icons;
    Display* display = state().xDisplay;
    if (icon < 1 || icon > icons.size() || !e.xWindow || !display)
        return;
    const std::vector<unsigned long>& value = icons[icon - 1];
    XChangeProperty(display, e.xWindow, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(value.data()), int(value.size()));
}

}  // namespace

WindowId createWindow(const WindowParams& p) {
    if (!sdl::start())
        return 0;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (p.opengl)
        flags |= SDL_WINDOW_OPENGL;
    int x = p.x, y = p.y, w = p.width < 1 ? 1 : p.width, h = p.height < 1 ? 1 : p.height;
    switch (p.kind) {
    case WindowKind::TopLevel:
        if (p.resizable)
            flags |= SDL_WINDOW_RESIZABLE;
        break;
    case WindowKind::Popup:
        flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
        break;
    case WindowKind::Child:
        if (!find(p.parent))
            return 0;
        flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR;
        x = y = 0;
        break;
    case WindowKind::FullScreen: {
        flags |= SDL_WINDOW_BORDERLESS;
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(p.monitor, &bounds) != 0)
            bounds = SDL_Rect{0, 0, 0, 0};
        x = bounds.x;
        y = bounds.y;
        break;
    }
    }
    sdl::GLFormatScope format(p.opengl);
    SDL_Window* sdlWindow = SDL_CreateWindow(p.title ? p.title : "", x, y, w, h, flags);
    if (!sdlWindow)
        return 0;
    WindowId id = SDL_GetWindowID(sdlWindow);
    Entry e;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(sdlWindow, &info) && info.subsystem == SDL_SYSWM_X11) {
        e.xWindow = info.info.x11.window;
        state().xDisplay = info.info.x11.display;
        state().goneXWindows.erase(e.xWindow);  // the server gave the id out again
    }
    e.sdl = sdlWindow;
    e.kind = p.kind;
    e.parent = p.parent;
    e.childX = p.x;
    e.childY = p.y;
    e.monitor = p.monitor;
    state().windows[id] = e;
    showIcon(e, p.icon);
    if (p.kind == WindowKind::Child)
        embed(sdlWindow, sdl::window(p.parent), p.x, p.y);
    if (p.kind == WindowKind::FullScreen)
        sdl::applyRequestedMode(sdlWindow, p.monitor);
    deliver(base(MessageType::Create, id));
    return id;
}

void destroyWindow(WindowId id) {
    Entry* e = find(id);
    if (!e)
        return;
    deliver(base(MessageType::Destroy, id));
    e = find(id);
    if (!e)
        return;
    passFocusOn(id);
    SDL_Window* w = e->sdl;
    bool fullScreen = e->kind == WindowKind::FullScreen;
    int monitor = e->monitor;
    State& s = state();
    s.windows.erase(id);
    if (s.captured == id)
        s.captured = 0;
    if (s.focusAsked == id)
        s.focusAsked = 0;
    s.focusOrder.erase(std::remove(s.focusOrder.begin(), s.focusOrder.end(), id), s.focusOrder.end());
    SDL_DestroyWindow(w);
    if (fullScreen) {
        modeguard::forget(monitor);  // SDL put the desktop's mode back
        restoreDisplayMode(monitor);
    }
}

bool windowExists(WindowId id) { return find(id) != nullptr; }

void showWindow(WindowId id, bool activate) {
    Entry* e = find(id);
    if (!e)
        return;
    SDL_Window* focused = SDL_GetKeyboardFocus();
    SDL_ShowWindow(e->sdl);
    if (e->kind == WindowKind::FullScreen)
        modeguard::switched();  // SDL switches a full-screen window's mode as it shows it
    if (activate) {
        // Without a window manager nobody hands out the focus: take it.
        SDL_RaiseWindow(e->sdl);
        SDL_SetWindowInputFocus(e->sdl);
    } else if (focused && focused != e->sdl) {
        // SDL focuses every window it shows when no window manager runs; a
        // popup must leave the keys with the window that had them.
        SDL_SetWindowInputFocus(focused);
    }
}

void hideWindow(WindowId id) {
    Entry* e = find(id);
    if (!e)
        return;
    passFocusOn(id);
    SDL_HideWindow(e->sdl);
}

void setWindowTitle(WindowId id, const char* title) {
    if (Entry* e = find(id))
        SDL_SetWindowTitle(e->sdl, title ? title : "");
}

void placeWindow(WindowId id, int x, int y, int width, int height) {
    Entry* e = find(id);
    if (!e)
        return;
    SDL_SetWindowSize(e->sdl, width < 1 ? 1 : width, height < 1 ? 1 : height);
    if (e->kind == WindowKind::Child) {
        e->childX = x;
        e->childY = y;
        embed(e->sdl, sdl::window(e->parent), x, y);
    } else if (e->kind != WindowKind::FullScreen) {
        SDL_SetWindowPosition(e->sdl, x, y);
    }
}

void setMinimumSize(WindowId id, int width, int height) {
    if (Entry* e = find(id))
        SDL_SetWindowMinimumSize(e->sdl, width < 1 ? 1 : width, height < 1 ? 1 : height);
}

bool clientRect(WindowId id, int& x, int& y, int& width, int& height) {
    Entry* e = find(id);
    if (!e)
        return false;
    clientOrigin(id, x, y);
    SDL_GetWindowSize(e->sdl, &width, &height);
    return true;
}

void presentPixels(WindowId id, const std::uint32_t* pixels, int stride, int x, int y, int width, int height) {
    Entry* e = find(id);
    if (!e || !pixels)
        return;
    SDL_Surface* surface = SDL_GetWindowSurface(e->sdl);
    if (!surface)
        return;
    // Only the part that lies on the surface.
    int left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
    int right = x + width > surface->w ? surface->w : x + width;
    int bottom = y + height > surface->h ? surface->h : y + height;
    if (right <= left || bottom <= top)
        return;
    const std::uint32_t* from = pixels + (top - y) * stride + (left - x);
    Uint8* to = static_cast<Uint8*>(surface->pixels) + top * surface->pitch + left * surface->format->BytesPerPixel;
    SDL_ConvertPixels(right - left, bottom - top, SDL_PIXELFORMAT_ARGB8888, from, stride * 4, surface->format->format,
                      to, surface->pitch);
    SDL_Rect shown{left, top, right - left, bottom - top};
    SDL_UpdateWindowSurfaceRects(e->sdl, &shown, 1);
}

unsigned long x11WindowOf(WindowId id) {
    Entry* e = find(id);
    if (!e)
        return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(e->sdl, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

bool captureWindow(WindowId id, std::vector<std::uint32_t>& pixels, int& width, int& height) {
    Entry* e = find(id);
    if (!e)
        return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(e->sdl, &info) || info.subsystem != SDL_SYSWM_X11)
        return false;
    SDL_GetWindowSize(e->sdl, &width, &height);
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, unsigned(width), unsigned(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return false;
    pixels.resize(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            pixels[size_t(row) * size_t(width) + size_t(col)] =
                0xFF000000u | std::uint32_t(XGetPixel(image, col, row) & 0xFFFFFF);
    XDestroyImage(image);
    return true;
}

void pumpMessages() {
    State& s = state();
    if (!s.available)
        return;
    // Asking the display whether anything came costs system calls (SDL reads
    // the X socket several times a pump), so while nothing comes it is asked
    // at most once a millisecond. Messages SDL or Xlib already hold are taken
    // at once; waiting ones go on in the order they came.
    auto now = std::chrono::steady_clock::now();
    if (now < s.nextPump && !messagesHeld(s))
        return;
    s.nextPump = now + std::chrono::milliseconds(1);
    SDL_Event e;
    while (SDL_PollEvent(&e))
        translate(e);
    closeGoneWindows();
    settleActivation();
}

void injectMessage(const Message& message) { send(message); }

bool isKeyDown(int key) { return key > KeyNone && key < KeyCount && state().keys[key]; }

void cursorPosition(int& x, int& y) {
    x = state().cursorX;
    y = state().cursorY;
}

void moveCursor(int x, int y) {
    if (!sdl::start())
        return;
    SDL_WarpMouseGlobal(x, y);
    state().cursorX = x;
    state().cursorY = y;
}

WindowId windowAt(int x, int y) {
    // Children lie over their parents and popups over everything.
    static const WindowKind order[] = {WindowKind::Popup, WindowKind::Child, WindowKind::FullScreen,
                                       WindowKind::TopLevel};
    for (WindowKind kind : order)
        for (auto& w : state().windows) {
            if (w.second.kind != kind || !(SDL_GetWindowFlags(w.second.sdl) & SDL_WINDOW_SHOWN))
                continue;
            int wx, wy, ww, wh;
            clientRect(w.first, wx, wy, ww, wh);
            if (x >= wx && y >= wy && x < wx + ww && y < wy + wh)
                return w.first;
        }
    return 0;
}

void setCapture(WindowId window) { state().captured = window; }
void releaseCapture() { state().captured = 0; }
WindowId capture() { return state().captured; }

void setInputFocus(WindowId id) { giveFocus(id); }

WindowId inputFocus() {
    State& s = state();
    if (!s.available)
        return 0;
    if (s.focusAsked)
        return s.focusAsked;
    SDL_Window* w = SDL_GetKeyboardFocus();
    WindowId id = w ? SDL_GetWindowID(w) : 0;
    return find(id) ? id : 0;
}

ScreenMetrics screenMetrics() {
    ScreenMetrics m;
    SDL_Rect r;
    if (sdl::start() && SDL_GetDisplayBounds(0, &r) == 0) {
        m.width = r.w;
        m.height = r.h;
    }
    return m;
}

const Cursor* systemCursor(SystemCursor id) {
    static const SDL_SystemCursor ids[9] = {SDL_SYSTEM_CURSOR_ARROW,  SDL_SYSTEM_CURSOR_IBEAM,   SDL_SYSTEM_CURSOR_WAIT,
                                            SDL_SYSTEM_CURSOR_CROSSHAIR, SDL_SYSTEM_CURSOR_SIZEWE, SDL_SYSTEM_CURSOR_SIZENS,
                                            SDL_SYSTEM_CURSOR_SIZEALL, SDL_SYSTEM_CURSOR_NO,    SDL_SYSTEM_CURSOR_HAND};
    if (!sdl::start())
        return nullptr;
    Cursor& c = state().cursors[int(id)];
    if (!c.sdl)
        c.sdl = SDL_CreateSystemCursor(ids[int(id)]);
    return &c;
}

Cursor* createCursor(const std::uint8_t* andMask, const std::uint8_t* xorMask, int hotX, int hotY) {
    if (!andMask || !xorMask || !sdl::start())
        return nullptr;
    // SDL's pair: mask set is drawn, then data set is black and clear white;
    // mask clear with data set is SDL's inverted pixel, as AND and XOR both set.
    Uint8 data[128], mask[128];
    for (int i = 0; i < 128; ++i) {
        mask[i] = Uint8(~andMask[i]);
        data[i] = Uint8(~(andMask[i] ^ xorMask[i]));
    }
    hotX = hotX < 0 ? 0 : hotX > 31 ? 31 : hotX;
    hotY = hotY < 0 ? 0 : hotY > 31 ? 31 : hotY;
    SDL_Cursor* sdlCursor = SDL_CreateCursor(data, mask, 32, 32, hotX, hotY);
    if (!sdlCursor)
        return nullptr;
    return new Cursor{sdlCursor};
}

// Touches no layer state: the toolkit's cursor cache may free its cursors
// after the video layer has stopped at exit.
void destroyCursor(Cursor* cursor) {
    if (!cursor)
        return;
    if (!displayLost)
        SDL_FreeCursor(cursor->sdl);
    delete cursor;
}

void showCursor(const Cursor* cursor) {
    if (cursor && cursor->sdl && SDL_GetCursor() != cursor->sdl)
        SDL_SetCursor(cursor->sdl);
}

}  // namespace platform
