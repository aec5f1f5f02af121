// Inside the toolkit only: a window's companion record and the process-wide
// routing state that the event queue and the windows share.
#pragma once

#include <vector>

#include "base/counted_ptr.h"
#include "gui/Event.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"

namespace pellium {

class Cursor;

struct WindowInternals {
    Window* parent = nullptr;
    int type = Window::TopLevel;
    bool opengl = false;
    gdiGraphics graphics;
    int anchorX = Window::noAnchor, anchorY = Window::noAnchor;
    bool shadow = false;
    bool open = false;
    bool dirty = true;
    bool blocked = false;
    bool resizable = true;
    bool closePending = false;
    unsigned classStyle = 0;  // Window::ClassStyle bits of the class it opened with
    Component* defaultButton = nullptr;
    Component* cancelButton = nullptr;
    bool modeChanged = false;
    int monitor = 0;
    int resolution = -1, depth = -1, refresh = -1;
    int lastX = -1, lastY = -1;
    platform::WindowId handle = 0;
    orvel::counted_ptr<Cursor> cursor;  // the pointer component's; null: the arrow
};

struct ToolkitState {
    std::vector<Window*> windows;  // in creation order
    Window* creating = nullptr;    // the window whose native window is being made
    bool appActive = false;
    Window* pointerWindow = nullptr;
    Component* pointerComponent = nullptr;
    Component* mouseGrab = nullptr;
    Component* keyboardFocus = nullptr;
    Window* keyboardFocusWindow = nullptr;
    Component* pressFocus = nullptr;  // takes the focus once its press is delivered
    PopupController* activePopup = nullptr;
    Event lastMove;
    bool swallowButtonUp = false;
    // The hover candidate: the last move with a position.
    Window* hoverWindow = nullptr;
    int hoverX = 0, hoverY = 0;
    double hoverTime = 0;
};

ToolkitState& toolkit();

// Appends an event to the queue.
void queueEvent(const Event& event);

// Shows the window's cursor: "not allowed" over a blocked window, else the
// one the pointer component asked for.
void showWindowCursor(Window* window);
// The pointer component, or an ancestor, changed its cursor: when the pointer
// is in this window, its cursor follows.
void updatePointerCursor(Window* window);

}  // namespace pellium
