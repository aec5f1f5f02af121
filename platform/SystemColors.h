// The colours of the desktop's widget scheme, as 0x00BBGGRR words. Linux has
// no scheme of its own for them: the table holds the classic grey one, and
// tests may change entries.
#pragma once

#include <cstdint>

namespace platform {

enum class SystemColor {
    DarkShadow3D,
    ButtonShadow,
    ButtonFace,
    Light3D,
    ButtonHighlight,
    ButtonText,
    GrayText,
    MenuBar,
    MenuText,
    Menu,
    MenuHighlight,
    Window,
    WindowText,
    InfoBackground,
    InfoText,
    HighlightText,
    Highlight,
    Count
};

std::uint32_t systemColor(SystemColor which);
void setSystemColor(SystemColor which, std::uint32_t bgr);
// Puts the whole table back to the classic scheme.
void resetSystemColors();

}  // namespace platform
