// Widget colours by role. Most follow the desktop's colour scheme at the
// moment they are asked for; the rest are fixed.
#pragma once

#include <cstdint>

#include "gui/Color.h"

namespace pellium {

class GuiColor {
public:
    enum gui_color : std::int32_t {
        dark_shadow,
        dark_shadow_lit,
        shadow,
        face,
        light,
        highlight_dim,
        highlight,
        button_text,
        gray_text,
        menu_bar,
        menu_text,
        menu,
        menu_highlight,
        window,
        window_text,
        info_background,
        info_text,
        selection_text,
        selection,
        black,
        white,
        red,
        green,
        blue,
        cyan,
        magenta,
        yellow,
        transparent
    };

    GuiColor(gui_color c = black) : value(c) {}

    // The packed 0xAABBGGRR word; a value outside the enumeration gives opaque black.
    std::uint32_t toRGB() const;
    void toRGB(Color& color) const;

    gui_color value;
};

}  // namespace pellium
