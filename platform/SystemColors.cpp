#include "SystemColors.h"

namespace platform {

namespace {

const std::uint32_t classic[int(SystemColor::Count)] = {
    0x404040,  // 3D dark shadow
    0x808080,  // button shadow
    0xC0C0C0,  // button face
    0xDFDFDF,  // 3D light
    0xFFFFFF,  // button highlight
    0x000000,  // button text
    0x808080,  // grey text
    0xC0C0C0,  // menu bar
    0x000000,  // menu text
    0xC0C0C0,  // menu
    0x800000,  // menu highlight
    0xFFFFFF,  // window
    0x000000,  // window text
    0xE1FFFF,  // tooltip background
    0x000000,  // tooltip text
    0xFFFFFF,  // highlighted text
    0x800000,  // highlight
};

std::uint32_t table[int(SystemColor::Count)] = {};
bool filled = false;

void fill() {
    if (!filled)
        resetSystemColors();
}

}  // namespace

std::uint32_t systemColor(SystemColor which) {
    fill();
    int i = int(which);
    return i >= 0 && i < int(SystemColor::Count) ? table[i] : 0;
}

void setSystemColor(SystemColor which, std::uint32_t bgr) {
    fill();
    int i = int(which);
    if (i >= 0 && i < int(SystemColor::Count))
        table[i] = bgr & 0xFFFFFF;
}

void resetSystemColors() {
    for (int i = 0; i < int(SystemColor::Count); ++i)
        table[i] = classic[i];
    filled = true;
}

}  // namespace platform
