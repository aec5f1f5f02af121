#include "GuiColor.h"

#include "platform/SystemColors.h"

namespace pellium {

namespace {

using platform::SystemColor;

std::uint32_t scheme(SystemColor c) { return platform::systemColor(c) | 0xFF000000u; }

}  // namespace

std::uint32_t GuiColor::toRGB() const {
    switch (value) {
    case dark_shadow: return scheme(SystemColor::DarkShadow3D);
    // The lit and dim variants shift the whole word, carries included.
    case dark_shadow_lit: return scheme(SystemColor::DarkShadow3D) + 0x080808u;
    case shadow: return scheme(SystemColor::ButtonShadow);
    case face: return scheme(SystemColor::ButtonFace);
    case light: return scheme(SystemColor::Light3D);
    case highlight_dim: return scheme(SystemColor::ButtonHighlight) - 0x080808u;
    case highlight: return scheme(SystemColor::ButtonHighlight);
    case button_text: return scheme(SystemColor::ButtonText);
    case gray_text: return scheme(SystemColor::GrayText);
    case menu_bar: return scheme(SystemColor::MenuBar);
    case menu_text: return scheme(SystemColor::MenuText);
    case menu: return scheme(SystemColor::Menu);
    case menu_highlight: return scheme(SystemColor::MenuHighlight);
    case window: return scheme(SystemColor::Window);
    case window_text: return scheme(SystemColor::WindowText);
    case info_background: return scheme(SystemColor::InfoBackground);
    case info_text: return scheme(SystemColor::InfoText);
    case selection_text: return scheme(SystemColor::HighlightText);
    case selection: return scheme(SystemColor::Highlight);
    case black: return 0xFF000000u;
    case white: return 0xFFFFFFFFu;
    case red: return 0xFF0000FFu;
    case green: return 0xFF00FF00u;
    case blue: return 0xFFFF0000u;
    case cyan: return 0xFFFFFF00u;
    case magenta: return 0xFFFF00FFu;
    case yellow: return 0xFF00FFFFu;
    case transparent: return 0;
    }
    return 0xFF000000u;
}

void GuiColor::toRGB(Color& color) const { color.fromPacked(toRGB()); }

}  // namespace pellium
