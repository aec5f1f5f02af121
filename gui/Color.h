// A colour as four floats, with its packed and HSV forms.
#pragma once

#include <cstdint>

namespace pellium {

// Hue in degrees (0 .. 360), saturation and value in 0 .. 1.
struct HSV {
    float hue = 0, saturation = 0, value = 0;
};

struct Color {
    float red = 0, green = 0, blue = 0, alpha = 1;

    // Packed words are 0xAABBGGRR: red in the lowest byte.
    void fromPacked(std::uint32_t word);
    // Each channel times 255, truncated toward zero (and held to 0 .. 255).
    std::uint32_t toPacked() const;

    static Color fromHSV(float hue, float saturation, float value);
    // Fills hsv; a grey keeps the hue hsv already holds when it lies in 0 .. 360.
    void toHSV(HSV& hsv) const;
};

}  // namespace pellium
