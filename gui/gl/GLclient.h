// Whatever draws with OpenGL: it is bound to a window's drawable with the one
// render context the process shares, and draws a frame when asked.
#pragma once

#include "platform/GLContext.h"

namespace pellium {

// What a client learns about the frame it draws.
struct GLRenderInfo {
    // Statistics the clients that draw them add to: points, lines and quads.
    long points = 0, lines = 0, quads = 0;
    int width = 0;  // the viewport, in pixels
    int height = 0;
};

class GLclient {
public:
    virtual ~GLclient() = default;
    // Called after every bind that switched the context or the window.
    virtual void initGL() {}
    virtual void render(GLRenderInfo& info) { (void)info; }

    // Makes the context current on the window. A bind that changes what is
    // current puts GL into its default state, reloads the extensions and
    // calls the client's initGL; binding what is already current does nothing.
    static bool doBind(platform::WindowId window, platform::GLContext context, GLclient* client);
};

}  // namespace pellium
