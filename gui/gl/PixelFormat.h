// Choosing the pixel format of OpenGL windows from the formats the driver
// offers, and finding the format a window has.
#pragma once

#include <vector>

#include "platform/GLContext.h"

namespace pellium {

// The best format for double-buffered OpenGL windows: accelerated before
// generic, then more depth at no less colour, never a 16-bit colour format
// with more than 24 depth bits. The index of the last format taken; 0 when
// none qualifies.
int choosePixelFormat(const std::vector<platform::PixelFormat>& formats);

// One line per format, the chosen one marked with '*'.
void logPixelFormats(const std::vector<platform::PixelFormat>& formats, int chosen);

// Chooses the format once per process (logging the driver's formats the first
// time) and asks the platform to make every OpenGL window with it. The chosen
// index, 0 when there is none.
int requestWindowPixelFormat();

// The format the window was made with; 0 when it has none.
int setupPixelFormat(platform::WindowId window);

}  // namespace pellium
