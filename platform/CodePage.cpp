#include "CodePage.h"

namespace platform {

namespace {

// 0x80..0x9F; zero marks the bytes the code page leaves undefined.
const uint16_t high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The byte of a code point, -1 when the code page has none.
int byteOf(uint32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return int(u);
    for (int b = 0x80; b <= 0x9F; ++b)
        if (cp1252ToUnicode(static_cast<unsigned char>(b)) == u)
            return b;
    return -1;
}

}  // namespace

uint32_t cp1252ToUnicode(unsigned char c) {
    if (c < 0x80 || c > 0x9F)
        return c;
    return high[c - 0x80] ? high[c - 0x80] : c;
}

std::string utf8FromCodePage(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const uint32_t u = cp1252ToUnicode(c);
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | u >> 6);
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | u >> 12);
            out += char(0x80 | (u >> 6 & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string codePageFromUtf8(const std::string& text, int& replaced) {
    replaced = 0;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        uint32_t u = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = length != 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            u = u << 6 | (next & 0x3F);
        }
        // An overlong form (a NUL in two bytes would cut the text there), a
        // surrogate or a code point past U+10FFFF is as broken as a cut-off sequence.
        static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        whole = whole && u >= smallest[length] && u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
        // A broken sequence gives up its first byte only: what follows may be whole.
        const int b = whole ? byteOf(u) : -1;
        i += whole ? length : 1;
        if (b < 0)
            ++replaced;
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

}  // namespace platform
