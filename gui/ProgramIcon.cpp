// The program's icon, resource 101: our own picture of a note over a globe,
// drawn for this program, at the two sizes a window shows an icon.
#include "gui/ProgramIcon.h"

#include <cstring>
#include <vector>

namespace pellium {

namespace {

// Picture characters: '.' see-through, 'k' black outline, 'b' sea, 'c' its
// light side, 'g' land, 'y' the note.
uint32_t colourOf(char c) {
    switch (c) {
    case 'k': return 0xFF000000u;
    case 'b': return 0xFF1E50B4u;
    case 'c': return 0xFF5A9BE6u;
    case 'g': return 0xFF329646u;
    case 'y': return 0xFFFFD732u;
    default: return 0x00000000u;
    }
}

// Top row first.
const char* const largeRows[largeIconSide] = {
    "................................",
    "...........kkkkkkkkkk...........",
    ".........kkkbbbbbbbbkkk.........",
    ".......kkbbbbbbbbbbbbbbkk.......",
    "......kkcccccbbbbbbbbbbbkk......",
    ".....kkccccccccbbbkkkkkbbkk.....",
    "....kkccccccccccbbkyyykkbbkk....",
    "...kkcccgggccccccbkyyyykkbbkk...",
    "...kcccgggggcccccbkyyyyykkbbk...",
    "..kbccgggggggccccbkyykyyykkbbk..",
    "..kbcgggggggggcccbkyykkyyykkbk..",
    ".kkbcgggggggggcccbkyykkkyyykbkk.",
    ".kbbcgggggggggcccbkyykbkkyykbbk.",
    ".kbbbcgggggggccccbkyykbbkkykbbk.",
    ".kbbbccgggggccccbbkyykbbbkykbbk.",
    ".kbbbbccgggcccccbbkyykbbbkkkbbk.",
    ".kbbbbbcccccccbbbbkyykbbbbbbbbk.",
    ".kbbbbbbbbbbbbbbbbkyykggbbbbbbk.",
    ".kbbbbbbbbbbbbbbbbkyykgggbbbbbk.",
    ".kbbbbbbbbbbbbbbbbkyykggggbbbbk.",
    ".kkbbbbbbbbbbbbkkkkyykggggbbbkk.",
    "..kbbbbbbbbbbbkkyyyyykggggbbbk..",
    "..kbbbbbbbbbgkkyyyyyykgggbbbbk..",
    "...kbbbbbbbggkyyyyyyykggbbbbk...",
    "...kkbbbbbbggkkyyyyykkbbbbbkk...",
    "....kkbbbbbgggkkyyykkbbbbbkk....",
    ".....kkbbbbbgggkkkkkbbbbbkk.....",
    "......kkbbbbbbbbbbbbbbbbkk......",
    ".......kkbbbbbbbbbbbbbbkk.......",
    ".........kkkbbbbbbbbkkk.........",
    "...........kkkkkkkkkk...........",
    "................................",
};

const char* const smallRows[smallIconSide] = {
    "................",
    ".....kkkkkk.....",
    "...kkccbbkbkk...",
    "..kkcccckykbkk..",
    "..kcggcckyykbk..",
    ".kcggggckykykbk.",
    ".kcggggckykykbk.",
    ".kbcggcckykkbbk.",
    ".kbbcccbkykbbbk.",
    ".kbbbbkkkykggbk.",
    ".kbbbkyyyykggbk.",
    "..kbbkyyyykggk..",
    "..kkbbkyykbbkk..",
    "...kkbbkkbbkk...",
    ".....kkkkkk.....",
    "................",
};

struct Art {
    int side;
    const char* const* rows;
};
const Art arts[] = {{largeIconSide, largeRows}, {smallIconSide, smallRows}};

// The picture's pixels, top row first.
std::vector<uint32_t> topDown(const Art& art) {
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(art.side) * size_t(art.side));
    for (int y = 0; y < art.side; ++y)
        for (int x = 0; x < art.side; ++x)
            pixels.push_back(colourOf(art.rows[y][x]));
    return pixels;
}

}  // namespace

Image iconResource(int id, int side) {
    if (id != programIconResource)
        return Image();
    for (const Art& art : arts) {
        if (art.side != side)
            continue;
        const std::vector<uint32_t> pixels = topDown(art);
        Image image(side, side);
        for (int y = 0; y < side; ++y)
            std::memcpy(image.pixelAt(0, side - 1 - y), &pixels[size_t(y) * size_t(side)], size_t(side) * 4);
        return image;
    }
    return Image();
}

platform::IconId programIcon() {
    static const platform::IconId icon = [] {
        const std::vector<uint32_t> large = topDown(arts[0]), small = topDown(arts[1]);
        return platform::createIcon({{largeIconSide, largeIconSide, large.data()},
                                     {smallIconSide, smallIconSide, small.data()}});
    }();
    return icon;
}

}  // namespace pellium
