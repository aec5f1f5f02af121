// Back-buffer pictures for drawing tests: a window-less surface to draw on,
// a colour scheme whose widget colours all differ, and a rectangle of the
// buffer written out as rows of letters, top row first, one letter a colour.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gui/GuiColor.h"
#include "gui/gdiGraphics.h"
#include "platform/SystemColors.h"

namespace guitest {

// A widget colour as the back buffer holds it.
inline std::uint32_t bufferPixel(pellium::GuiColor::gui_color color) {
    std::uint32_t c = pellium::GuiColor(color).toRGB();
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// Every widget colour a picture names gets its own value while this lives.
class DistinctColours {
public:
    DistinctColours() {
        using platform::SystemColor;
        const std::pair<SystemColor, std::uint32_t> scheme[] = {
            {SystemColor::DarkShadow3D, 0x101010},    {SystemColor::ButtonShadow, 0x606060},
            {SystemColor::ButtonFace, 0xA0A0A0},      {SystemColor::Light3D, 0xC8C8C8},
            {SystemColor::ButtonHighlight, 0xF8F8F8}, {SystemColor::ButtonText, 0x200000},
            {SystemColor::GrayText, 0x707070},        {SystemColor::Window, 0xE0FFFF},
            {SystemColor::Highlight, 0x800000},       {SystemColor::HighlightText, 0xFFFFFE},
            {SystemColor::MenuText, 0x000020}};
        for (auto [which, bgr] : scheme)
            platform::setSystemColor(which, bgr);
    }
    ~DistinctColours() { platform::resetSystemColors(); }
    DistinctColours(const DistinctColours&) = delete;
    DistinctColours& operator=(const DistinctColours&) = delete;
};

// The letters of the colours pictures use; '.' is red, the ground tests
// clear to, and '?' any other value.
inline const std::map<char, pellium::GuiColor::gui_color>& pictureLetters() {
    using G = pellium::GuiColor;
    static const std::map<char, G::gui_color> letters = {
        {'D', G::dark_shadow_lit}, {'S', G::shadow},       {'F', G::face},          {'L', G::light},
        {'H', G::highlight_dim},   {'W', G::highlight},    {'T', G::button_text},   {'G', G::gray_text},
        {'w', G::window},          {'#', G::black},        {'.', G::red},           {'s', G::selection},
        {'t', G::selection_text},  {'m', G::menu_text},    {'b', G::blue}};
    return letters;
}

// Rows of the rectangle r (window coordinates), its top row first.
inline std::vector<std::string> picture(const pellium::gdiGraphics& g, const pellium::Rect& r) {
    std::map<std::uint32_t, char> byPixel;
    for (auto [letter, color] : pictureLetters())
        byPixel.emplace(bufferPixel(color), letter);
    std::vector<std::string> rows;
    for (int y = r.y + r.height - 1; y >= r.y; --y) {
        std::string row;
        for (int x = r.x; x < r.x + r.width; ++x) {
            auto found = byPixel.find(g.pixelAt(x, y));
            row += found == byPixel.end() ? '?' : found->second;
        }
        rows.push_back(row);
    }
    return rows;
}

// A window-less surface of the size given, cleared to red, ready to draw on.
class Surface {
public:
    Surface(int width, int height) {
        g.begin(nullptr, {0, 0, width, height});
        g.setColor(pellium::GuiColor::red);
        g.fillRect({0, 0, width, height});
    }
    std::vector<std::string> rows(const pellium::Rect& r) const { return picture(g, r); }
    std::vector<std::string> rows() const { return picture(g, {0, 0, g.surfaceWidth(), g.surfaceHeight()}); }
    // How many pixels hold the colour.
    int count(pellium::GuiColor::gui_color color) const {
        int n = 0;
        for (int i = 0; i < g.surfaceWidth() * g.surfaceHeight(); ++i)
            n += g.surface()[i] == bufferPixel(color);
        return n;
    }
    pellium::gdiGraphics g;
};

}  // namespace guitest
