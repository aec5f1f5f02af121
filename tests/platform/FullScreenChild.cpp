// A program that switches the display to 640 x 480 for a full-screen window,
// prints "switched", and then waits for a line, as a busy program that
// signals do not end by themselves: "crash" ends it with a segmentation fault,
// "abort" aborts it, anything else (or the end of its input) ends it normally.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Display.h"
#include "platform/Windows.h"

int main() {
    platform::DisplayMode mode;
    mode.width = 640;
    mode.height = 480;
    if (!platform::videoAvailable() || !platform::setDisplayMode(0, mode, false))
        return 2;
    platform::WindowParams p;
    p.kind = platform::WindowKind::FullScreen;
    p.width = mode.width;
    p.height = mode.height;
    p.title = "full screen child";
    platform::WindowId window = platform::createWindow(p);
    if (!window)
        return 3;
    platform::showWindow(window, true);
    std::printf("switched\n");
    std::fflush(stdout);
    // Busy as far as signals go: an interrupted read is read again.
    char line[32] = "";
    while (!std::fgets(line, sizeof line, stdin)) {
        if (std::feof(stdin))
            return 0;
        std::clearerr(stdin);
    }
    int* volatile unmapped = reinterpret_cast<int*>(std::uintptr_t(16));
    if (std::strncmp(line, "crash", 5) == 0)
        *unmapped = 1;
    if (std::strncmp(line, "abort", 5) == 0)
        std::abort();
    return 0;
}
