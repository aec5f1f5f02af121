// Shared by the layer's SDL files only: the video start and the window table.
#pragma once

#include <SDL.h>

#include "platform/Messages.h"

namespace platform {
namespace sdl {

// SDL's video subsystem, started once; false without a display.
bool start();
SDL_Window* window(WindowId id);
// The mode the SDL display backend holds for a monitor; false for "the desktop's".
bool requestedMode(int monitor, SDL_DisplayMode& mode);
// Puts a full-screen window into the mode requested for its monitor.
void applyRequestedMode(SDL_Window* window, int monitor);
// The full-screen window on a monitor, null when none.
SDL_Window* fullScreenWindow(int monitor);

// While it lives, OpenGL windows SDL makes take the pixel format requested
// through GLContext.h (when one was).
class GLFormatScope {
public:
    explicit GLFormatScope(bool opengl);
    ~GLFormatScope();
    GLFormatScope(const GLFormatScope&) = delete;
    GLFormatScope& operator=(const GLFormatScope&) = delete;

private:
    bool set_ = false;
};

}  // namespace sdl
}  // namespace platform
