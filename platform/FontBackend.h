// Fonts as the toolkit asks for them: a logical font described the way GDI
// describes one, its text metrics, per-character advance widths and glyphs
// drawn into an 8-bit canvas. Characters are single bytes in Windows-1252.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct FontRequest {
    // The fonts the system itself provides.
    enum class Stock { None, AnsiFixed, DefaultGui, Menu };
    enum class Pitch { Default, Fixed, Variable };
    enum class Family { DontCare, Roman, Swiss, Modern };

    Stock stock = Stock::None;
    // An installed family's name; empty to choose by pitch and family.
    std::string faceName;
    Pitch pitch = Pitch::Default;
    Family family = Family::DontCare;
    // Below 0: the character height (em) in pixels. Above 0: the cell height,
    // ascent plus descent. 0: the default character height.
    int height = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
};

// In pixels. The cell is ascent + descent high; the internal leading is the
// part of the ascent above the character height.
struct TextMetrics {
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int averageCharWidth = 0;
};

// An 8-bit coverage canvas, rows from the top down. Drawing writes 255 where a
// glyph covers a pixel and leaves every other pixel as it was.
struct GlyphCanvas {
    uint8_t* pixels;
    int width;
    int height;
    int stride;
};

class PlatformFont {
public:
    virtual ~PlatformFont() = default;

    virtual const TextMetrics& metrics() const = 0;
    // The name of the family actually used.
    virtual std::string familyName() const = 0;
    // The advance of character c; false when the font cannot give one.
    virtual bool charWidth(unsigned char c, int& width) = 0;
    // Draws c with the left end of its baseline at (x, baseline), clipped to
    // the canvas; an underlined font underlines the whole advance. Control
    // characters (below 32) draw nothing.
    virtual void drawChar(unsigned char c, GlyphCanvas& canvas, int x, int baseline) = 0;
};

class FontBackend {
public:
    virtual ~FontBackend() = default;

    // Whether a family of that name (or one the system puts in its place,
    // metric for metric) is installed.
    virtual bool hasFamily(const std::string& name) = 0;
    // The font for a request, or null when none can be made.
    virtual std::unique_ptr<PlatformFont> open(const FontRequest& request) = 0;
};

// The backend fonts are made by: FreeType through fontconfig unless a test
// put another one in its place. Main thread only.
FontBackend& fontBackend();
// Null restores the FreeType backend. The caller keeps ownership.
void setFontBackend(FontBackend* backend);
// Counts the changes of backend, so that caches of fonts can tell when theirs
// came from a backend no longer in use.
unsigned fontBackendGeneration();


}  // namespace platform
