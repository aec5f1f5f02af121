// Real fonts: fontconfig chooses the font file, FreeType reads its metrics and
// draws its glyphs, with GDI's rules for sizes and metrics laid on top:
// - a negative height is the em height, so the character height is exact;
//   a positive one is the cell height (the font's Windows ascent + descent);
// - ascent and descent are the Windows ascent and descent, scaled and rounded;
//   the internal leading is what the cell has beyond the em;
// - the average width is the font's own (OS/2) average;
// - widths are hinted advances and glyphs are drawn bi-level, as GDI draws
//   text without smoothing.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/FontBackend.h"

namespace platform {

struct FreeTypeLibrary;

class FreeTypeFontBackend : public FontBackend {
public:
    // Heights beyond this many pixels are refused.
    static constexpr int maxPixelHeight = 2048;

    FreeTypeFontBackend();
    ~FreeTypeFontBackend() override;

    bool hasFamily(const std::string& name) override;
    std::unique_ptr<PlatformFont> open(const FontRequest& request) override;

private:
    // Fonts share the library and keep it alive after the backend is gone.
    std::shared_ptr<FreeTypeLibrary> library_;
    std::map<std::string, bool> families_;
    // The first families fontconfig substitutes for the generic names.
    std::set<std::string> genericHeads_;
    // The file and face index chosen for a family, weight and slant.
    std::map<std::string, std::pair<std::string, int>> files_;
};

}  // namespace platform
