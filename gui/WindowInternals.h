// Inside the toolkit only: a window's companion record and the process-wide
// routing state that the event queue and the windows share.
#pragma once

#include <vector>

#include "gui/Event.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"

namespace platform {
class Cursor;
}

namespace pellium {

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
    Component* defaultButton = nullptr;
    Component* cancelButton = nullptr;
    bool modeChanged = false;
    int monitor = 0;
    int resolution = -1, depth = -1, refresh = -1;
    int lastX = -1, lastY = -1;
    platform::WindowId handle = 0;
    const platform::Cursor* cursor = nullptr;  // null: the arrow
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

}  // namespace pellium
