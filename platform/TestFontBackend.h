// A font backend with exact, chosen numbers, for tests whose expected layout
// must not depend on the fonts installed. Every font it makes has the same
// metrics and widths, whatever was asked for; it records every request.
//
// Its glyphs are plain blocks: a printable character other than the space
// covers the columns x .. x + width - 2 and the rows from the baseline up to
// the ascent (internal leading excluded), so tests can predict every pixel.
// An underlined font also covers row baseline + 1 (one row of descent left
// free under the blocks) across the whole advance.
#pragma once

#include <array>
#include <climits>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/FontBackend.h"

namespace platform {

class TestFontBackend : public FontBackend {
public:
    // A width the font cannot tell (its charWidth answers false).
    static constexpr int noWidth = INT_MIN;

    // Ascent above the baseline without internal leading, as the toolkit's
    // font reports it; the cell ascent is ascent + internalLeading.
    struct Metrics {
        int width = 6;
        int ascent = 10;
        int descent = 3;
        int internalLeading = 0;
        int externalLeading = 0;
        int averageWidth = 6;
    };

    TestFontBackend();
    explicit TestFontBackend(const Metrics& metrics);

    // Every width from the metrics; setWidth then changes single characters.
    void setWidth(unsigned char c, int width);
    // Installed families, "Courier", "Times" and "Arial" at first.
    void setFamilies(std::set<std::string> families);
    // Requests for which refuse answers true get no font.
    void setRefuse(std::function<bool(const FontRequest&)> refuse);

    const std::vector<FontRequest>& requests() const { return requests_; }

    bool hasFamily(const std::string& name) override;
    std::unique_ptr<PlatformFont> open(const FontRequest& request) override;

private:
    Metrics metrics_;
    std::array<int, 256> widths_;
    std::set<std::string> families_;
    std::function<bool(const FontRequest&)> refuse_;
    std::vector<FontRequest> requests_;
};

}  // namespace platform
