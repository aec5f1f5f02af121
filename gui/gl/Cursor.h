// Mouse cursors by the toolkit's small ids: system cursors, and three hands
// the toolkit draws itself from 32 x 32 character pictures. One process-wide
// cache keeps each id's cursor for the life of the program. Main thread only.
#pragma once

#include <cstdint>

#include "base/counted_ptr.h"
#include "base/handle.h"

namespace platform {
class Cursor;
}

namespace pellium {

struct CursorInternals;

class Cursor {
public:
    enum Id {
        Arrow = 0,  // also every id not listed
        TextBeam = 1,
        PointingHand = 2,
        Wait = 3,
        NotAllowed = 4,
        Cross = 5,
        OpenHand = 6,
        GrabbingHand = 7,
        SizeWestEast = 8,
        SizeNorthSouth = 9,
        SizeAll = 10
    };

    explicit Cursor(int id);
    // A picture cursor from the rows of rows, top first; the picture ends at
    // the first null or empty row, and after 32. In the rows a blank is
    // see-through, whiteChar white and any other character black; hotChar
    // marks the hot spot (16, 16 without one) and is then read as
    // hotReplacement. Columns past 31 are not read.
    Cursor(const char* const* rows, bool mirrorX, bool mirrorY, char whiteChar, char hotChar, char hotReplacement);
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // The native cursor, made on the first call; null without a display.
    const platform::Cursor* handle();

    // True for pictures, whose native cursors the toolkit makes and frees.
    bool owned() const;
    int hotX() const;
    int hotY() const;
    // 32 rows of 4 bytes each, the leftmost pixel in a byte's highest bit.
    const uint8_t* andMask() const;
    const uint8_t* xorMask() const;

private:
    orvel::handle<CursorInternals> internals_;
};

// The cursor of id, made and kept on the first request.
orvel::counted_ptr<Cursor>& getCursor(int id);

}  // namespace pellium
