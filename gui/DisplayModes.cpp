#include "DisplayModes.h"

#include <string>
#include <vector>

#include "base/Debug.h"
#include "platform/Display.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

const int widths[] = {640, 800, 1024, 1280, 1600};
const int heights[] = {480, 600, 768, 1024, 1200};
const int depths[] = {16, 32};
const int rates[] = {60, 75, 85, 100, 120};

struct Monitor {
    Rect rect;
    orvel_string name;
};

std::vector<Monitor> monitorList;

std::vector<Monitor>& monitors() {
    if (monitorList.empty())
        refreshMonitors();
    return monitorList;
}

Rect primaryScreen() {
    platform::ScreenMetrics s = platform::screenMetrics();
    return {0, 0, s.width, s.height};
}

// The platform's mode record for a mode: only the parts asked for, each logged.
platform::DisplayMode makeRecord(const DisplayMode& mode, int monitor) {
    platform::DisplayMode record, current;
    bool known = platform::displayBackend().currentMode(monitor, current);
    if (mode.resolution != -1) {
        if (!resolutionSize(mode.resolution, record.width, record.height)) {
            Rect screen = primaryScreen();
            record.width = screen.width;
            record.height = screen.height;
        }
        orvel::debug("  w=%d,h=%d", record.width, record.height);
    }
    if (mode.depth != -1) {
        if (mode.depth == 0 || mode.depth == 1)
            record.bitsPerPixel = depths[mode.depth];
        else
            record.bitsPerPixel = known ? current.bitsPerPixel : 16;
        orvel::debug(" bpp=%d", record.bitsPerPixel);
    }
    if (mode.refresh != -1) {
        if (mode.refresh >= 0 && mode.refresh < 5)
            record.refreshRate = rates[mode.refresh];
        else
            record.refreshRate = known && current.refreshRate > 0 ? current.refreshRate : 60;
        orvel::debug(" Hz=%d", record.refreshRate);
    }
    return record;
}

bool asksNothing(const DisplayMode& m) { return m.resolution == -1 && m.depth == -1 && m.refresh == -1; }

}  // namespace

const char* resolutionName(int i) {
    static const char* const names[] = {"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024", "1600 x 1200"};
    return i == -1 ? "current" : i >= 0 && i < 5 ? names[i] : "...";
}

bool resolutionSize(int i, int& width, int& height) {
    if (i < 0 || i >= 5)
        return false;
    width = widths[i];
    height = heights[i];
    return true;
}

const char* depthName(int i) {
    static const char* const names[] = {"16 bit", "32 bit"};
    return i == -1 ? "current" : i >= 0 && i < 2 ? names[i] : "...";
}

const char* refreshName(int i) {
    static const char* const names[] = {"60 Hz", "75 Hz", "85 Hz", "100 Hz", "120 Hz"};
    return i == -1 ? "default" : i >= 0 && i < 5 ? names[i] : "...";
}

void refreshMonitors() {
    monitorList.clear();
    platform::DisplayBackend& backend = platform::displayBackend();
    int reported = backend.monitorCount();
    if (reported >= 2) {
        Rect screen = primaryScreen();
        for (int i = 0; i < reported; ++i) {
            platform::ScreenRect b;
            if (!backend.monitorBounds(i, b))
                break;
            monitorList.push_back({{b.x, screen.height - b.y - b.height, b.width, b.height},
                                  orvel_string(backend.monitorName(i).c_str())});
        }
        if (int(monitorList.size()) == reported)
            return;
        orvel::debug("Number of monitors didn't add up!\n");
        monitorList.clear();
    }
    monitorList.push_back({primaryScreen(), "Monitor"});
}

int monitorCount() { return int(monitors().size()); }

Rect monitorRect(int index) {
    std::vector<Monitor>& list = monitors();
    return index >= 0 && index < int(list.size()) ? list[size_t(index)].rect : primaryScreen();
}

orvel_string monitorName(int index) {
    std::vector<Monitor>& list = monitors();
    return index >= 0 && index < int(list.size()) ? list[size_t(index)].name : orvel_string("Monitor");
}

DisplayMode getCurrentDisplayMode(int monitor) {
    DisplayMode mode;
    platform::DisplayMode m;
    if (!platform::displayBackend().currentMode(monitor, m))
        return mode;
    mode.resolution = m.width < 800 ? 0 : m.width < 1024 ? 1 : m.width < 1280 ? 2 : m.width < 1600 ? 3 : 4;
    mode.depth = m.bitsPerPixel > 16 ? 1 : 0;
    int hz = m.refreshRate;
    mode.refresh = hz < 75 ? 0 : hz < 85 ? 1 : hz < 100 ? 2 : hz < 120 ? 3 : 4;
    return mode;
}

bool setDisplayMode(const DisplayMode& mode) {
    if (asksNothing(mode))
        return true;
    return platform::setDisplayMode(0, makeRecord(mode, 0), false);
}

bool applyScreenMode(const DisplayMode& mode, int monitor, bool testOnly) {
    orvel::debug("Setting the screen mode...\n");
    if (asksNothing(mode))
        return true;
    orvel::debug("1");
    platform::DisplayMode record = makeRecord(mode, monitor);
    orvel::debug("2");
    orvel::debug(monitor != 0 ? "4" : "3");
    bool changed = platform::setDisplayMode(monitor, record, testOnly);
    orvel::debug("...finished setting the screen mode...\n");
    orvel::debug("modeWasChanged=%d\n", changed ? 1 : 0);
    return changed;
}

}  // namespace pellium
