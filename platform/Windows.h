// Native windows on SDL2 and the messages they produce. Every message goes to
// the one window procedure set with setWindowProcedure, Win32 style, so the
// toolkit above translates all input in one place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

enum class WindowKind {
    TopLevel,   // a framed window placed on the screen
    Popup,      // tooltips, menus, lists: never takes the focus, no frame
    Child,      // lives inside its parent's client area
    FullScreen  // covers one monitor; applies the monitor's requested display mode
};

// An icon's picture at one size: 0xAARRGGBB pixels, rows top-down.
struct IconPicture {
    int width = 0, height = 0;
    const std::uint32_t* pixels = nullptr;
};
// Identifies one icon; 0 is none.
using IconId = std::uint32_t;

// Keeps a copy of the pictures as one icon, whose sizes the window manager
// picks from (a large one for task lists, a small one for title bars). 0
// for no picture. Icons live as long as the process.
IconId createIcon(const std::vector<IconPicture>& pictures);

struct WindowParams {
    WindowKind kind = WindowKind::TopLevel;
    WindowId parent = 0;  // a child's parent; a popup's owner, which takes the keys back from it
    // Where the client area goes, top-down: screen pixels, or the parent's
    // client pixels for a child. Ignored for a full-screen window.
    int x = 0, y = 0;
    int width = 1, height = 1;
    bool resizable = true;
    bool opengl = false;  // the window can carry an OpenGL context
    int monitor = 0;      // for a full-screen window
    const char* title = "";
    IconId icon = 0;
};

// Starts the video layer on first use; false when there is no display. Every
// other call below does nothing (or answers "none") while this is false.
bool videoAvailable();
// Why the video layer could not start, naming the display it was given;
// empty while it runs.
std::string videoProblem();

void setWindowProcedure(WindowProcedure procedure);
// Called once when the connection to the display is lost, just before the
// process ends with code 1. It may log, but must not touch windows, OpenGL or
// the display: nothing may ask the lost connection anything.
void setDisplayLostHandler(void (*handler)());

// Creates a hidden window. Its Create message reaches the procedure before
// this returns. 0 on failure.
WindowId createWindow(const WindowParams& params);
// Sends Destroy to the procedure, then destroys the window.
void destroyWindow(WindowId window);
bool windowExists(WindowId window);
void showWindow(WindowId window, bool activate);
void hideWindow(WindowId window);
void setWindowTitle(WindowId window, const char* title);
// Moves and sizes the client area, in the coordinates createWindow took.
void placeWindow(WindowId window, int x, int y, int width, int height);
void setMinimumSize(WindowId window, int width, int height);
// The client area in screen pixels, top-down.
bool clientRect(WindowId window, int& x, int& y, int& width, int& height);

// Copies a rectangle of 0xAARRGGBB pixels (rows top-down, stride in pixels)
// onto the client area at (x, y), top-down, and shows it. For windows drawn
// in software, not for OpenGL windows.
void presentPixels(WindowId window, const std::uint32_t* pixels, int stride, int x, int y, int width, int height);
// What the display shows of the client area, as 0xFFRRGGBB rows top-down.
bool captureWindow(WindowId window, std::vector<std::uint32_t>& pixels, int& width, int& height);

// The X11 window behind a window, for tools that name windows by it (as
// "import -window" does); 0 when there is none.
unsigned long x11WindowOf(WindowId window);

// Takes every waiting SDL event, turns it into messages and hands them to the
// procedure. Never waits. While nothing arrives the display is asked at most
// once a millisecond; what SDL or Xlib already hold is taken at once.
void pumpMessages();
// Hands a message to the procedure as if it had come from SDL: key state and
// pointer position follow it.
void injectMessage(const Message& message);

// State as the messages handed out so far left it.
bool isKeyDown(int key);
void cursorPosition(int& x, int& y);
// Puts the real pointer at a screen point.
void moveCursor(int x, int y);
// The window under a screen point (children before their parents), 0 for none.
WindowId windowAt(int x, int y);

// Capture is a record of which window follows the pointer; it grabs nothing.
void setCapture(WindowId window);
void releaseCapture();
WindowId capture();

// Gives a window the keys; from then on inputFocus() names it, before the
// display has reported the change.
void setInputFocus(WindowId window);
// The window holding the keyboard focus, 0 when none of ours does.
WindowId inputFocus();

struct ScreenMetrics {
    int width = 0, height = 0;                  // the primary monitor
    int frameWidth = 0, frameHeight = 0, captionHeight = 0;  // the window manager draws frames
    double doubleClickSeconds = 0.5;
};
ScreenMetrics screenMetrics();

enum class SystemCursor { Arrow, IBeam, Wait, Crosshair, SizeWE, SizeNS, SizeAll, NotAllowed, Hand };
class Cursor;
const Cursor* systemCursor(SystemCursor id);
// A cursor drawn from two 32 x 32 masks, 4 bytes a row from the top, the
// leftmost pixel in a byte's highest bit, read as Windows reads them: AND
// clear is drawn (black, or white where XOR is set), AND set is see-through
// (with XOR set it would invert the screen; SDL draws that black). Null
// without a display.
Cursor* createCursor(const std::uint8_t* andMask, const std::uint8_t* xorMask, int hotX, int hotY);
// Frees a cursor createCursor made; while it was shown, the arrow takes over.
void destroyCursor(Cursor* cursor);
// Shows a cursor while the pointer is over any window of the program.
void showCursor(const Cursor* cursor);

}  // namespace platform
