#include "SystemColors.h"

#include <array>
#include <cstddef>

namespace platform {

namespace {

using Table = std::array<std::uint32_t, size_t(SystemColor::Count)>;

constexpr Table classic = {
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

Table table = classic;

bool valid(SystemColor which) { return int(which) >= 0 && int(which) < int(SystemColor::Count); }

}  // namespace

std::uint32_t systemColor(SystemColor which) { return valid(which) ? table[size_t(which)] : 0; }

void setSystemColor(SystemColor which, std::uint32_t bgr) {
    if (valid(which))
        table[size_t(which)] = bgr & 0xFFFFFF;
}

void resetSystemColors() { table = classic; }

}  // namespace platform
