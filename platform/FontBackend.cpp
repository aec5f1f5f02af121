#include "platform/FontBackend.h"

#include "platform/FreeTypeFonts.h"

namespace platform {

namespace {

FontBackend* chosenBackend = nullptr;
unsigned backendGeneration = 0;

}  // namespace

FontBackend& fontBackend() {
    if (chosenBackend)
        return *chosenBackend;
    static FreeTypeFontBackend freeType;
    return freeType;
}

void setFontBackend(FontBackend* backend) {
    if (backend == chosenBackend)
        return;
    chosenBackend = backend;
    ++backendGeneration;
}

unsigned fontBackendGeneration() {
    return backendGeneration;
}

uint32_t cp1252ToUnicode(unsigned char c) {
    // 0x80..0x9F; zero marks the bytes the code page leaves undefined.
    static const uint16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    if (c < 0x80 || c > 0x9F)
        return c;
    return high[c - 0x80] ? high[c - 0x80] : c;
}

}  // namespace platform
