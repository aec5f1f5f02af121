// OpenGL through SDL2: the driver's pixel formats, the format OpenGL windows
// are made with, render contexts bound to windows, buffer swaps, the swap
// interval and extension entry points. Windows are the ids of Windows.h; the
// hidden windows made here carry a context when no toolkit window does and
// never produce messages.
#pragma once

#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

// One pixel format the driver offers, described the way the toolkit's
// choosing rule reads it.
struct PixelFormat {
    enum Flag : unsigned {
        DoubleBuffer = 0x1,
        DrawToWindow = 0x4,
        SupportOpenGL = 0x20,
        Generic = 0x40  // a slow (unaccelerated) format
    };
    int index = 0;  // place in the driver's list, from 1
    unsigned flags = 0;
    int colorBits = 0;  // red + green + blue
    int depthBits = 0, alphaBits = 0, stencilBits = 0;
    unsigned visual = 0;  // the X visual of a window made with it; 0 for none
};

// The driver's formats in its own order; empty without a display.
const std::vector<PixelFormat>& pixelFormats();
// The format of that index, null when there is none.
const PixelFormat* pixelFormat(int index);

// Every OpenGL window made from now on takes this format; false (and no
// change) when the index names no format a window can have.
bool requestPixelFormat(int index);
// The format a window was made with; 0 for a window without OpenGL or with
// no format of the driver's list.
int windowPixelFormat(WindowId window);

using GLContext = void*;

// A hidden window that can carry a context, in the requested format; it is
// not one of the toolkit's windows and sends no messages. 0 on failure.
WindowId createHiddenGLWindow(int width, int height);
void destroyHiddenGLWindow(WindowId window);

// A new render context for windows of this window's format. Whatever was
// current before stays current. Null on failure.
GLContext createGLContext(WindowId window);
void deleteGLContext(GLContext context);
// Binds the context to the window; a null context releases the current one.
bool makeGLCurrent(WindowId window, GLContext context);
GLContext currentGLContext();
WindowId currentGLWindow();
void swapGLBuffers(WindowId window);
// Frames to wait for at each swap: 0 off, 1 the display's rate.
bool setSwapInterval(int interval);

// An entry point of the current driver; may be non-null even for names the
// driver does not support, so callers test the extension lists first.
void* glProcAddress(const char* name);
// The window-system extensions (GLX), blank-separated; empty without a display.
const std::string& windowSystemExtensions();

}  // namespace platform
