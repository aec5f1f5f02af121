#include "gui/gl/Cursor.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/Windows.h"

namespace pellium {

struct CursorInternals : orvel::HandleRecord {
    CursorInternals() {
        std::memset(andMask, 0xFF, sizeof andMask);
        std::memset(xorMask, 0, sizeof xorMask);
    }
    ~CursorInternals() {
        if (owned)
            platform::destroyCursor(native);
    }

    platform::Cursor* native = nullptr;
    bool owned = false;
    platform::SystemCursor system = platform::SystemCursor::Arrow;
    int hotX = 16;
    int hotY = 16;
    uint8_t andMask[128];
    uint8_t xorMask[128];
};

namespace {

// '#' black, '+' white, 'x' the hot spot.
const char* const pointingHand[] = {
    "      ##           ", "     #x+#          ", "     #++#          ", "     #++#          ",
    "     #++#          ", "     #++###        ", "     #++#++###     ", "     #++#++#++##   ",
    " ### #++#++#++#+#  ", " #++##++++++++#++# ", " #+++#+++++++++++# ", "  #++#+++++++++++# ",
    "   #+#+++++++++++# ", "   #+++++++++++++# ", "    #++++++++++++# ", "    #+++++++++++#  ",
    "     #++++++++++#  ", "     #++++++++++#  ", "      #++++++++#   ", "      #++++++++#   ",
    "      ##########   ", nullptr};

const char* const openHand[] = {
    "        ##        ", "    ## #++###     ", "   #++##++#++#    ", "   #++##++#++# #  ",
    "    #++#++#++##+# ", "    #++#++#++#++# ", "  ##+#+x+++++#++# ", " #++##++++++++++# ",
    " #+++#+++++++++#  ", "  #++++++++++++#  ", "   #+++++++++++#  ", "   #++++++++++#   ",
    "    #+++++++++#   ", "     #+++++++#    ", "      #++++++#    ", "      #++++++#    ",
    nullptr};

const char* const grabbingHand[] = {
    "   ## ## ##    ", "  #++#++#++##  ", "  #++++++++#+# ", "   #+x+++++++# ",
    "  ##+++++++++# ", " #+++++++++++# ", " #++++++++++#  ", "  #+++++++++#  ",
    "   #+++++++#   ", "    #++++++#   ", "    #++++++#   ", nullptr};

uint8_t reverseBits(uint8_t b) {
    b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Reverses the 32 pixels of each row.
void mirrorRows(uint8_t* mask) {
    for (int r = 0; r < 32; ++r) {
        uint8_t* row = mask + 4 * r;
        const uint8_t b[4] = {row[0], row[1], row[2], row[3]};
        for (int i = 0; i < 4; ++i)
            row[i] = reverseBits(b[3 - i]);
    }
}

void flipRows(uint8_t* mask) {
    for (int r = 0; r < 16; ++r)
        std::swap_ranges(mask + 4 * r, mask + 4 * r + 4, mask + 4 * (31 - r));
}

void drawPicture(CursorInternals& in, const char* const* rows, bool mirrorX, bool mirrorY, char whiteChar,
                 char hotChar, char hotReplacement) {
    in.owned = true;
    for (int r = 0; rows && r < 32 && rows[r] && rows[r][0]; ++r) {
        const char* row = rows[r];
        for (int c = 0; c < 32 && row[c]; ++c) {
            char ch = row[c];
            if (ch == hotChar) {
                in.hotX = c;
                in.hotY = r;
                ch = hotReplacement;
            }
            if (ch == ' ')
                continue;
            const int byte = 4 * r + c / 8;
            const uint8_t bit = uint8_t(0x80 >> (c % 8));
            in.andMask[byte] &= uint8_t(~bit);
            if (ch == whiteChar)
                in.xorMask[byte] |= bit;
        }
    }
    if (mirrorX) {
        in.hotX = 31 - in.hotX;
        mirrorRows(in.andMask);
        mirrorRows(in.xorMask);
    }
    if (mirrorY) {
        in.hotY = 31 - in.hotY;
        flipRows(in.andMask);
        flipRows(in.xorMask);
    }
}

}  // namespace

Cursor::Cursor(int id) : internals_(new CursorInternals) {
    switch (id) {
    case PointingHand:
        drawPicture(*internals_, pointingHand, false, false, '+', 'x', '+');
        return;
    case OpenHand:
        drawPicture(*internals_, openHand, false, false, '+', 'x', '+');
        return;
    case GrabbingHand:
        drawPicture(*internals_, grabbingHand, false, false, '+', 'x', ' ');
        return;
    default:
        break;
    }
    static const std::map<int, platform::SystemCursor> systemIds = {
        {TextBeam, platform::SystemCursor::IBeam},        {Wait, platform::SystemCursor::Wait},
        {NotAllowed, platform::SystemCursor::NotAllowed}, {Cross, platform::SystemCursor::Crosshair},
        {SizeWestEast, platform::SystemCursor::SizeWE},   {SizeNorthSouth, platform::SystemCursor::SizeNS},
        {SizeAll, platform::SystemCursor::SizeAll}};
    auto it = systemIds.find(id);
    internals_->system = it == systemIds.end() ? platform::SystemCursor::Arrow : it->second;
}

Cursor::Cursor(const char* const* rows, bool mirrorX, bool mirrorY, char whiteChar, char hotChar,
               char hotReplacement)
    : internals_(new CursorInternals) {
    drawPicture(*internals_, rows, mirrorX, mirrorY, whiteChar, hotChar, hotReplacement);
}

Cursor::~Cursor() = default;

const platform::Cursor* Cursor::handle() {
    CursorInternals& in = *internals_;
    if (!in.owned)
        return platform::systemCursor(in.system);
    if (!in.native)
        in.native = platform::createCursor(in.andMask, in.xorMask, in.hotX, in.hotY);
    return in.native;
}

bool Cursor::owned() const { return internals_->owned; }
int Cursor::hotX() const { return internals_->hotX; }
int Cursor::hotY() const { return internals_->hotY; }
const uint8_t* Cursor::andMask() const { return internals_->andMask; }
const uint8_t* Cursor::xorMask() const { return internals_->xorMask; }

orvel::counted_ptr<Cursor>& getCursor(int id) {
    static std::map<int, orvel::counted_ptr<Cursor>> cursors;
    orvel::counted_ptr<Cursor>& cursor = cursors[id];
    if (!cursor)
        cursor = orvel::counted_ptr<Cursor>(new Cursor(id));
    return cursor;
}

}  // namespace pellium
