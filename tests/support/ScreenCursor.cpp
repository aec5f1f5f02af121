#include "tests/support/ScreenCursor.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

bool ScreenCursor::read() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int event = 0, error = 0;
    XFixesCursorImage* image = nullptr;
    if (XFixesQueryExtension(display, &event, &error))
        image = XFixesGetCursorImage(display);
    if (image) {
        width = image->width;
        height = image->height;
        hotX = image->xhot;
        hotY = image->yhot;
        argb.resize(size_t(width) * size_t(height));
        for (size_t i = 0; i < argb.size(); ++i)
            argb[i] = uint32_t(image->pixels[i]);
        XFree(image);
    }
    XCloseDisplay(display);
    return image != nullptr;
}
