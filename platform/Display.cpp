#include "Display.h"

#include <map>
#include <set>

#include "platform/ModeGuard.h"
#include "platform/SdlVideo.h"

namespace platform {

namespace {

// SDL changes a mode only for a full-screen window: a requested mode waits
// for that window (or is applied to it at once), and SDL itself puts the
// desktop mode back when the window goes or the video layer stops.
class SdlDisplayBackend : public DisplayBackend {
public:
    int monitorCount() override { return sdl::start() ? SDL_GetNumVideoDisplays() : 0; }

    bool monitorBounds(int monitor, ScreenRect& b) override {
        SDL_Rect r;
        if (!sdl::start() || SDL_GetDisplayBounds(monitor, &r) != 0)
            return false;
        b = {r.x, r.y, r.w, r.h};
        return true;
    }

    std::string monitorName(int monitor) override {
        const char* name = sdl::start() ? SDL_GetDisplayName(monitor) : nullptr;
        return name ? name : "";
    }

    bool currentMode(int monitor, DisplayMode& mode) override {
        SDL_DisplayMode m;
        if (!sdl::start() || SDL_GetCurrentDisplayMode(monitor, &m) != 0)
            return false;
        mode.width = m.w;
        mode.height = m.h;
        mode.bitsPerPixel = int(SDL_BITSPERPIXEL(m.format));
        mode.refreshRate = m.refresh_rate;
        return true;
    }

    bool changeMode(int monitor, const DisplayMode& mode, bool testOnly) override {
        SDL_DisplayMode desktop, wanted{}, found;
        if (!sdl::start() || SDL_GetDesktopDisplayMode(monitor, &desktop) != 0)
            return false;
        // Parts not asked for keep the desktop's: SDL's search for the closest
        // mode takes a size of 0 for "any" and ends at the smallest mode.
        wanted.w = mode.width > 0 ? mode.width : desktop.w;
        wanted.h = mode.height > 0 ? mode.height : desktop.h;
        wanted.refresh_rate = mode.refreshRate > 0 ? mode.refreshRate : desktop.refresh_rate;
        if (!SDL_GetClosestDisplayMode(monitor, &wanted, &found))
            return false;
        if (testOnly)
            return true;
        requested[monitor] = found;
        if (SDL_Window* w = sdl::fullScreenWindow(monitor))
            sdl::applyRequestedMode(w, monitor);
        return true;
    }

    void restoreMode(int monitor) override {
        if (!requested.erase(monitor))
            return;
        if (SDL_Window* w = sdl::fullScreenWindow(monitor))
            SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
        modeguard::forget(monitor);
    }

    std::map<int, SDL_DisplayMode> requested;
};

// Never destroyed: the video layer's exit handler still restores modes
// through it after the statics made later than that handler are gone.
SdlDisplayBackend& sdlBackend() {
    static SdlDisplayBackend* backend = new SdlDisplayBackend;
    return *backend;
}

DisplayBackend* current = nullptr;
std::set<int> changed;

}  // namespace

namespace sdl {

bool requestedMode(int monitor, SDL_DisplayMode& mode) {
    auto it = sdlBackend().requested.find(monitor);
    if (it == sdlBackend().requested.end())
        return false;
    mode = it->second;
    return true;
}

void applyRequestedMode(SDL_Window* window, int monitor) {
    SDL_DisplayMode mode;
    SDL_Rect bounds;
    if (requestedMode(monitor, mode)) {
        // The way back is made ready while the monitor still shows its own mode.
        if (SDL_GetDisplayBounds(monitor, &bounds) == 0)
            modeguard::remember(monitor, bounds.x, bounds.y);
        if (SDL_SetWindowDisplayMode(window, &mode) == 0 &&
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0) {
            modeguard::switched();
            return;
        }
    }
    // Without a mode of its own, a window as large as the monitor covers it in
    // the desktop's mode; a smaller one stays a plain window at its origin.
    int w, h;
    SDL_GetWindowSize(window, &w, &h);
    if (SDL_GetDisplayBounds(monitor, &bounds) == 0 && w == bounds.w && h == bounds.h)
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

}  // namespace sdl

DisplayBackend& displayBackend() { return current ? *current : sdlBackend(); }

void setDisplayBackend(DisplayBackend* backend) {
    restoreDisplayModes();
    current = backend;
}

bool setDisplayMode(int monitor, const DisplayMode& mode, bool testOnly) {
    bool ok = displayBackend().changeMode(monitor, mode, testOnly);
    if (ok && !testOnly)
        changed.insert(monitor);
    return ok;
}

void restoreDisplayMode(int monitor) {
    if (changed.erase(monitor))
        displayBackend().restoreMode(monitor);
}

void restoreDisplayModes() {
    while (!changed.empty())
        restoreDisplayMode(*changed.begin());
}

}  // namespace platform
