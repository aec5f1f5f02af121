// The monitors of the machine and a small fixed vocabulary of display modes:
// five resolutions, two colour depths and five refresh rates, each chosen by
// an index, -1 meaning the current setting.
#pragma once

#include "base/orvel_string.h"
#include "gui/Rect.h"

namespace pellium {

struct DisplayMode {
    int resolution = -1;  // 640 x 480, 800 x 600, 1024 x 768, 1280 x 1024, 1600 x 1200
    int depth = -1;       // 16 or 32 bits per pixel
    int refresh = -1;     // 60, 75, 85, 100 or 120 Hz
};

const char* resolutionName(int index);
// The size of a listed resolution; false, leaving both alone, for any other index.
bool resolutionSize(int index, int& width, int& height);
const char* depthName(int index);
const char* refreshName(int index);

// The monitor list is read on first use; refreshMonitors reads it again.
int monitorCount();
// Bottom-up like every toolkit rectangle; an invalid index gives the primary
// screen at the origin.
Rect monitorRect(int index);
// An invalid index gives "Monitor".
orvel_string monitorName(int index);
void refreshMonitors();

// The monitor's settings as indices; all -1 when they cannot be read.
DisplayMode getCurrentDisplayMode(int monitor);
// Changes the primary display for full-screen use; true at once when the mode
// asks for no change.
bool setDisplayMode(const DisplayMode& mode);
// The switch a window makes for its monitor, with its log lines; testOnly
// only asks whether the mode could be set. True when the mode is in effect.
bool applyScreenMode(const DisplayMode& mode, int monitor, bool testOnly);

}  // namespace pellium
