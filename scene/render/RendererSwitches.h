// What the game window does to the renderer's process-wide switches: the
// driver check after GL is bound, and the key that toggles level-of-detail
// cross-fading between frames.
#pragma once

namespace pellium {
class GLcaps;
}

namespace kessa {

// A driver whose renderer name contains "TNT" draws buffer objects and
// compiled batches no faster than client arrays: logs "fullGLacceleration set
// to false" and clears the switch. Returns whether it did.
bool limitAccelerationForRenderer(const pellium::GLcaps& caps);

// The key code 108 (the letter l) toggles cross-fading of level-of-detail
// chains. Returns whether the key was that one.
bool toggleFadingOnKey(int keyCode);

}  // namespace kessa
