#include "platform/FreeTypeFonts.h"

#include <array>
#include <cmath>
#include <strings.h>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_ADVANCES_H
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/CodePage.h"

namespace platform {

struct FreeTypeLibrary {
    FreeTypeLibrary() {
        if (FT_Init_FreeType(&ft) != 0)
            ft = nullptr;
    }
    ~FreeTypeLibrary() {
        if (ft)
            FT_Done_FreeType(ft);
    }
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;

    FT_Library ft = nullptr;
};

namespace {

// The character height a request of height 0 gets.
constexpr int defaultEm = 12;

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

bool isGenericFamily(const char* name) {
    static const char* const generic[] = {"sans-serif", "serif", "monospace", "sans", "mono",
                                          "cursive", "fantasy", "system-ui", "emoji", "math"};
    for (const char* g : generic)
        if (strcasecmp(name, g) == 0)
            return true;
    return false;
}

bool isFixed(const FontRequest& r) {
    return r.pitch == FontRequest::Pitch::Fixed || r.family == FontRequest::Family::Modern;
}

// The face Windows gives a request without a face name it knows. Asked for
// by name first: fontconfig's own generic families list no Liberation font,
// so on a machine with only those they all came out monospaced.
const char* windowsFace(const FontRequest& r) {
    if (isFixed(r))
        return "Courier New";
    return r.family == FontRequest::Family::Roman ? "Times New Roman" : "Arial";
}

const char* genericFamily(const FontRequest& r) {
    if (isFixed(r))
        return "monospace";
    return r.family == FontRequest::Family::Roman ? "serif" : "sans-serif";
}

// The system fonts, as Windows sets them up: the fixed font is a 13-pixel
// Courier with an 8-pixel advance, the GUI and menu fonts an 11-pixel sans.
FontRequest stockRequest(FontRequest::Stock stock) {
    FontRequest r;
    if (stock == FontRequest::Stock::AnsiFixed) {
        r.faceName = "Courier";
        r.pitch = FontRequest::Pitch::Fixed;
        r.family = FontRequest::Family::Modern;
        r.height = -13;
    } else {
        r.faceName = "Arial";
        r.pitch = FontRequest::Pitch::Variable;
        r.family = FontRequest::Family::Swiss;
        r.height = -11;
    }
    return r;
}

// The file and face index fontconfig picks for a family, weight and slant.
bool matchFile(const std::string& family, const FontRequest& r, std::string& file, int& index) {
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return false;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(r.weight));
    FcPatternAddInteger(pattern.get(), FC_SLANT, r.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return false;
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* path = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch)
        return false;
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch)
        index = 0;
    return true;
}

// The family list fontconfig's configuration makes of one family name.
std::vector<std::string> substitutedFamilies(const char* name) {
    std::vector<std::string> list;
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return list;
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(pattern.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i)
        list.emplace_back(reinterpret_cast<const char*>(family));
    return list;
}

int roundToInt(double v) {
    return int(std::lround(v));
}

class FreeTypeFont : public PlatformFont {
public:
    FreeTypeFont(std::shared_ptr<FreeTypeLibrary> library, FT_Face face)
        : library_(std::move(library)), face_(face) {}
    ~FreeTypeFont() override { FT_Done_Face(face_); }
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    // Sizes the face for the request's height and works out the metrics;
    // false for a height the face cannot take.
    bool setUp(const FontRequest& r);

    const TextMetrics& metrics() const override { return metrics_; }
    std::string familyName() const override { return face_->family_name ? face_->family_name : ""; }
    bool charWidth(unsigned char c, int& width) override;
    void drawChar(unsigned char c, GlyphCanvas& canvas, int x, int baseline) override;

private:
    struct Glyph {
        bool loaded = false;
        bool ok = false;
        int left = 0;
        int top = 0;
        int width = 0;
        int rows = 0;
        std::vector<uint8_t> cover;  // width x rows, 0 or 1
    };

    const Glyph& glyph(unsigned char c);

    std::shared_ptr<FreeTypeLibrary> library_;
    FT_Face face_;
    TextMetrics metrics_;
    bool underline_ = false;
    int underlineTop_ = 0;  // rows below the baseline
    int underlineRows_ = 1;
    std::array<Glyph, 256> glyphs_;
};

bool FreeTypeFont::setUp(const FontRequest& r) {
    const double upem = face_->units_per_EM;
    if (upem <= 0)
        return false;
    // Windows takes the cell from the OS/2 table's Windows ascent and descent.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
    double winAscent = face_->ascender;
    double winDescent = -face_->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
    }
    const double cellUnits = winAscent + winDescent;
    if (cellUnits <= 0)
        return false;

    int height = r.height == 0 ? -defaultEm : r.height;
    if (std::abs(height) > FreeTypeFontBackend::maxPixelHeight)
        return false;
    double em;
    if (height < 0) {
        em = -height;
        metrics_.ascent = roundToInt(winAscent * em / upem);
        metrics_.descent = roundToInt(winDescent * em / upem);
    } else {
        em = height * upem / cellUnits;
        metrics_.ascent = roundToInt(winAscent * height / cellUnits);
        metrics_.descent = height - metrics_.ascent;
    }
    metrics_.internalLeading = std::max(0, metrics_.ascent + metrics_.descent - roundToInt(em));
    const double scale = em / upem;

    // The line gap Windows adds is what the Mac line spacing has beyond the cell.
    if (hhea) {
        double gap = hhea->Line_Gap - (cellUnits - (hhea->Ascender - hhea->Descender));
        metrics_.externalLeading = std::max(0, roundToInt(gap * scale));
    }

    if (FT_Set_Char_Size(face_, 0, FT_F26Dot6(std::lround(em * 64)), 72, 72) != 0)
        return false;

    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
        metrics_.averageCharWidth = roundToInt(os2->xAvgCharWidth * scale);
    } else {
        int w = 0;
        metrics_.averageCharWidth = charWidth('x', w) ? w : roundToInt(em / 2);
    }

    underline_ = r.underline;
    underlineRows_ = std::max(1, roundToInt(face_->underline_thickness * scale));
    double centre = -face_->underline_position * scale;
    underlineTop_ = std::max(1, roundToInt(centre - underlineRows_ / 2.0));
    if (underlineTop_ + underlineRows_ > metrics_.descent)
        underlineTop_ = std::max(1, metrics_.descent - underlineRows_);
    return true;
}

const FreeTypeFont::Glyph& FreeTypeFont::glyph(unsigned char c) {
    Glyph& g = glyphs_[c];
    if (g.loaded)
        return g;
    g.loaded = true;
    FT_UInt index = FT_Get_Char_Index(face_, cp1252ToUnicode(c));
    // Bi-level hinting and rendering: the shapes of GDI text drawn without
    // smoothing.
    if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_MONO | FT_LOAD_RENDER) != 0)
        return g;
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.ok = true;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return g;
    g.width = int(bitmap.width);
    g.rows = int(bitmap.rows);
    g.cover.assign(size_t(g.width) * size_t(g.rows), 0);
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
        for (int x = 0; x < g.width; ++x) {
            bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] & (0x80 >> (x & 7))) != 0
                                                              : row[x] != 0;
            g.cover[size_t(y) * size_t(g.width) + size_t(x)] = on;
        }
    }
    return g;
}

bool FreeTypeFont::charWidth(unsigned char c, int& width) {
    // The design advance, rounded: what metric compatibility promises. The
    // bi-level hinting of these fonts can move an advance by two pixels or
    // more, which would change the layout of words. Read without loading
    // the glyph.
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face_, FT_Get_Char_Index(face_, cp1252ToUnicode(c)), FT_LOAD_NO_HINTING, &advance) != 0)
        return false;
    width = int((advance + 0x8000) >> 16);
    return true;
}

void FreeTypeFont::drawChar(unsigned char c, GlyphCanvas& canvas, int x, int baseline) {
    if (c < 32)
        return;
    const Glyph& g = glyph(c);
    if (!g.ok)
        return;
    for (int row = 0; row < g.rows; ++row) {
        int y = baseline - g.top + row;
        if (y < 0 || y >= canvas.height)
            continue;
        uint8_t* out = canvas.pixels + ptrdiff_t(y) * canvas.stride;
        const uint8_t* in = g.cover.data() + size_t(row) * size_t(g.width);
        for (int col = 0; col < g.width; ++col) {
            int px = x + g.left + col;
            if (in[col] && px >= 0 && px < canvas.width)
                out[px] = 255;
        }
    }
    int advance = 0;
    if (!underline_ || !charWidth(c, advance))
        return;
    for (int row = 0; row < underlineRows_; ++row) {
        int y = baseline + underlineTop_ + row;
        if (y < 0 || y >= canvas.height)
            continue;
        uint8_t* out = canvas.pixels + ptrdiff_t(y) * canvas.stride;
        for (int px = std::max(x, 0); px < x + advance && px < canvas.width; ++px)
            out[px] = 255;
    }
}

}  // namespace

FreeTypeFontBackend::FreeTypeFontBackend() : library_(std::make_shared<FreeTypeLibrary>()) {}

FreeTypeFontBackend::~FreeTypeFontBackend() = default;

bool FreeTypeFontBackend::hasFamily(const std::string& name) {
    auto known = families_.find(name);
    if (known != families_.end())
        return known->second;
    if (genericHeads_.empty())
        for (const char* generic : {"sans-serif", "serif", "monospace"}) {
            std::vector<std::string> list = substitutedFamilies(generic);
            if (!list.empty())
                genericHeads_.insert(list.front());
        }

    // Found when the font fontconfig picks is the family itself or one of the
    // substitutes its configuration puts in its place, which come before the
    // families of the generic defaults.
    bool found = false;
    Pattern pattern(FcPatternCreate());
    if (pattern && !name.empty()) {
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        FcResult result;
        Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
        FcChar8* candidate = nullptr;
        for (int i = 0; match && !found &&
                        FcPatternGetString(pattern.get(), FC_FAMILY, i, &candidate) == FcResultMatch;
             ++i) {
            const char* wanted = reinterpret_cast<const char*>(candidate);
            if (strcasecmp(wanted, name.c_str()) != 0 && (isGenericFamily(wanted) || genericHeads_.count(wanted)))
                break;
            FcChar8* family = nullptr;
            for (int j = 0; FcPatternGetString(match.get(), FC_FAMILY, j, &family) == FcResultMatch; ++j)
                if (strcasecmp(wanted, reinterpret_cast<const char*>(family)) == 0)
                    found = true;
        }
    }
    families_[name] = found;
    return found;
}

std::unique_ptr<PlatformFont> FreeTypeFontBackend::open(const FontRequest& request) {
    if (!library_->ft)
        return nullptr;
    const FontRequest r = request.stock == FontRequest::Stock::None ? request : stockRequest(request.stock);
    std::string family = !r.faceName.empty() && hasFamily(r.faceName) ? r.faceName
                         : hasFamily(windowsFace(r))                    ? windowsFace(r)
                                                                        : genericFamily(r);
    const std::string matchKey = family + '\n' + std::to_string(r.weight) + (r.italic ? "i" : "");
    auto known = files_.find(matchKey);
    if (known == files_.end()) {
        std::pair<std::string, int> found;
        if (!matchFile(family, r, found.first, found.second))
            return nullptr;
        known = files_.emplace(matchKey, found).first;
    }
    const std::string& file = known->second.first;
    const int index = known->second.second;
    FT_Face face = nullptr;
    if (FT_New_Face(library_->ft, file.c_str(), index, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto font = std::make_unique<FreeTypeFont>(library_, face);
    if (!font->setUp(r))
        return nullptr;
    return font;
}

}  // namespace platform
