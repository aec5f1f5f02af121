// The system's visual-styles functions, as the theme renderer calls them:
// found by name in the library "uxtheme.dll" when the system has it. Linux
// has no such library, so on Linux the table stays empty.
#pragma once

#include <cstdint>

namespace pellium {

// A rectangle in device rows (top-down); right and bottom lie outside it.
struct ThemeRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct ThemeSize {
    int width = 0, height = 0;
};
using ThemeHandle = void*;

struct ThemeFunctions {
    // Results below 0 are failures.
    using Open = ThemeHandle (*)(void* window, const wchar_t* className);
    using Close = long (*)(ThemeHandle theme);
    // dc is the Graphics drawn on; clip limits the drawing.
    using DrawBackground = long (*)(ThemeHandle theme, void* dc, int part, int state, const ThemeRect* rect,
                                    const ThemeRect* clip);
    using PartSize = long (*)(ThemeHandle theme, void* dc, int part, int state, const ThemeRect* rect, int sizeKind,
                              ThemeSize* size);
    using Colour = long (*)(ThemeHandle theme, int part, int state, int property, std::uint32_t* colour);

    // The size kind of a part as it is drawn.
    static constexpr int drawingSize = 2;

    Open openThemeData = nullptr;
    Close closeThemeData = nullptr;
    DrawBackground drawThemeBackground = nullptr;
    PartSize getThemePartSize = nullptr;
    Colour getThemeColor = nullptr;

    bool complete() const {
        return openThemeData && closeThemeData && drawThemeBackground && getThemePartSize && getThemeColor;
    }
};

}  // namespace pellium
