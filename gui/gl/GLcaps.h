// What the OpenGL driver can do: filled once from a hidden window before any
// window of the program exists, so that start-up can refuse an unusable
// driver, and again by the extension loaders from whatever context is current.
#pragma once

#include "base/orvel_string.h"

namespace pellium {

class GLcaps {
public:
    bool valid = false;        // a context was current when it was filled
    bool accelerated = false;  // the current pixel format is not a generic (slow) one
    orvel_string vendor, renderer, version;
    orvel_string extensions;     // GL's list, blank-separated
    orvel_string wglExtensions;  // the window system's (GLX) list, blank-separated
    int colorBits = 0;           // red + green + blue
    int depthBits = 0, alphaBits = 0, stencilBits = 0;
    int maxAnisotropy = 0;
    int textureUnits = 0;

    // From the current context; stays invalid when none is current.
    void fill();
    // Whether the GL list or the window system's list holds the name.
    bool hasExtension(const char* name) const;
    // The "OpenGL info" block of the log.
    void logInfo() const;
};

// Whether a blank-separated list holds the name: an occurrence counts when it
// ends the list or a blank follows it (what precedes it is not looked at, so
// "ARB_multitexture" is found in "GL_ARB_multitexture").
bool extensionListed(const char* list, const char* name);

// The probe's record, made on first use through a hidden window with a
// context of its own that is released and deleted again.
GLcaps& getGLSniffer();

}  // namespace pellium
