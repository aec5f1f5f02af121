// What a font is asked for by: a face code, a pixel size and style bits.
#pragma once

namespace pellium {

struct FontKey {
    enum Face {
        fixedFace = 123,  // "Courier"
        serifFace = 124,  // "Times"
        sansFace = 125,   // "Arial"
        menuFace = 126,   // the system's menu font
        guiFace = 127,    // the system's default GUI font
    };
    enum Style { bold = 1, italic = 2, underline = 4 };

    FontKey() = default;
    FontKey(int face, int size, int style) : face(face), size(size), style(style) {}

    // Ordered by face, then style, then size.
    bool operator<(const FontKey& o) const {
        if (face != o.face)
            return face < o.face;
        if (style != o.style)
            return style < o.style;
        return size < o.size;
    }
    bool operator==(const FontKey& o) const { return face == o.face && size == o.size && style == o.style; }
    bool operator!=(const FontKey& o) const { return !(*this == o); }

    int face = guiFace;
    int size = 0;  // pixels; 0 is the face's default
    int style = 0;
};

}  // namespace pellium
