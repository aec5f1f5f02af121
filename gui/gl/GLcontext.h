// The one render context the process shares (with the two video switches
// that the GL layer reads), GL's default state and GL error reports.
#pragma once

#include "gui/gl/GLclient.h"
#include "gui/gl/VideoSwitches.h"

namespace pellium {

// The side of the hidden window that holds the context when no OpenGL window is open.
constexpr int hiddenGLWindowSize = 64;

// Null until the first OpenGL window (or ensureContext) makes it; it then
// lives for the process.
platform::GLContext sharedContext();

// Makes the shared context on this window and binds it, when there is none yet.
void makeWindowRC(platform::WindowId window, GLclient* client);

// Makes sure some context is current before GL is touched: the current
// drawable when there is one; else binds the shared context to an open
// OpenGL window (for that window as client), or to a hidden window when none
// is open (for the given client), making the context first when needed. 0
// when no context could be bound.
platform::WindowId ensureContext(GLclient* client);

// Lighting, blending, texturing, fog and sphere mapping off; alpha test
// (dropping only fully transparent fragments), depth test and writes, colour
// writes, smooth shading, back-face culling and normalising on; only the
// vertex array enabled.
void resetGLState();

// Logs a pending GL error (with the label when it is not negative), or the
// absence of one for a label that is not negative; returns whether there was one.
bool checkGLError(int label);

}  // namespace pellium
