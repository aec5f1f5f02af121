// The two process-wide video switches, both on at start. Start-up sets them
// from the video settings; the GL layer and the renderer only read them
// (the game window may clear fullGLacceleration for weak drivers).
#pragma once

namespace pellium {

// "Use display lists": BGRA texture uploads, buffer objects and compiled
// triangle batches.
extern bool fullGLacceleration;
// "Enable fog": without it GL fog is never switched on.
extern bool fogEnabled;

}  // namespace pellium
