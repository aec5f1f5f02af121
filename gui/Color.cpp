#include "Color.h"

#include <cmath>

namespace pellium {

namespace {

float clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

std::uint32_t channel(float v) {
    float scaled = v * 255.0f;
    if (!(scaled > 0))
        return 0;
    return scaled >= 255.0f ? 255u : std::uint32_t(scaled);
}

}  // namespace

void Color::fromPacked(std::uint32_t w) {
    red = float(w & 0xFF) / 255.0f;
    green = float((w >> 8) & 0xFF) / 255.0f;
    blue = float((w >> 16) & 0xFF) / 255.0f;
    alpha = float(w >> 24) / 255.0f;
}

std::uint32_t Color::toPacked() const {
    return channel(red) | channel(green) << 8 | channel(blue) << 16 | channel(alpha) << 24;
}

Color Color::fromHSV(float h, float s, float v) {
    // Remainder, not repeated steps of 360: far-out hues would never arrive.
    h = std::isfinite(h) ? std::fmod(h, 360.0f) : 0;
    if (h < 0)
        h += 360;
    if (h >= 360)  // a tiny negative hue rounds up to 360
        h = 0;
    s = clamp01(s);
    v = clamp01(v);
    Color c;
    if (s == 0) {
        c.red = c.green = c.blue = v;
        return c;
    }
    float sector = h * 0.016666668f;
    int i = int(sector);
    float f = sector - float(i);
    // The factor is a shade above 1/60, so a hue just under 360 reaches 6.
    if (i >= 6) {
        i = 5;
        f = 1;
    }
    float p = (1 - s) * v, q = (1 - f * s) * v, t = (1 - (1 - f) * s) * v;
    switch (i) {
    case 0: c.red = v, c.green = t, c.blue = p; break;
    case 1: c.red = q, c.green = v, c.blue = p; break;
    case 2: c.red = p, c.green = v, c.blue = t; break;
    case 3: c.red = p, c.green = q, c.blue = v; break;
    case 4: c.red = t, c.green = p, c.blue = v; break;
    default: c.red = v, c.green = p, c.blue = q; break;
    }
    return c;
}

void Color::toHSV(HSV& hsv) const {
    float r = clamp01(red), g = clamp01(green), b = clamp01(blue);
    float max = r > g ? (r > b ? r : b) : (g > b ? g : b);
    float min = r < g ? (r < b ? r : b) : (g < b ? g : b);
    hsv.value = max;
    hsv.saturation = max == 0 ? 0 : (max - min) / max;
    if (hsv.saturation == 0) {
        if (!(hsv.hue >= 0 && hsv.hue <= 360))
            hsv.hue = 0;
        return;
    }
    float d = max - min, hue;
    if (r == max)
        hue = (g - b) / d;
    else if (g == max)
        hue = (b - r) / d + 2;
    else
        hue = (r - g) / d + 4;
    hue *= 60;
    if (hue < 0)
        hue += 360;
    hsv.hue = hue;
}

}  // namespace pellium
