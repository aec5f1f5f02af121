// Monitors and display modes. A mode change lasts while the full-screen
// window on that monitor lives and is undone when it closes or the process
// ends. The work is done by a backend: SDL's, or a test's own.
#pragma once

#include <string>

namespace platform {

struct DisplayMode {
    int width = 0, height = 0;  // 0: keep the desktop's size
    int bitsPerPixel = 0;       // 0: keep the current depth
    int refreshRate = 0;        // Hz; 0: keep the desktop's rate
};

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;  // screen pixels, top-down
};

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual int monitorCount() = 0;
    virtual bool monitorBounds(int monitor, ScreenRect& bounds) = 0;
    virtual std::string monitorName(int monitor) = 0;
    virtual bool currentMode(int monitor, DisplayMode& mode) = 0;
    // testOnly asks whether the mode could be set without setting it.
    virtual bool changeMode(int monitor, const DisplayMode& mode, bool testOnly) = 0;
    // Puts back the mode the monitor had before changeMode.
    virtual void restoreMode(int monitor) = 0;
};

// The backend in use: SDL's unless a test installed another (null puts SDL's back).
DisplayBackend& displayBackend();
void setDisplayBackend(DisplayBackend* backend);

// Changes (or with testOnly only tests) a monitor's mode and remembers that it
// changed, so that restoreDisplayMode can put it back.
bool setDisplayMode(int monitor, const DisplayMode& mode, bool testOnly);
// Puts back one monitor's mode when it was changed; every changed monitor's.
void restoreDisplayMode(int monitor);
void restoreDisplayModes();

}  // namespace platform
