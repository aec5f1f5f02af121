// Our own drawings of the standard toolbar pictures, stored as the 4-bit
// packed bitmap a resource section would hold.
#include "gui/gl/StandardBitmaps.h"

#include <cstring>

namespace pellium {

namespace {

// The 16 colours of the classic system palette, 0x00RRGGBB.
const uint32_t palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                              0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// Picture characters and their palette entries; '.' is the silver background.
int colourOf(char c) {
    switch (c) {
    case '#': return 0;   // black
    case 'm': return 1;   // maroon
    case 'o': return 3;   // olive
    case 'n': return 4;   // navy
    case 't': return 6;   // teal
    case 'g': return 8;   // grey
    case 'r': return 9;   // red
    case 'y': return 11;  // yellow
    case 'b': return 12;  // blue
    case 'w': return 15;  // white
    default: return 7;    // silver
    }
}

constexpr int cell = 16;
constexpr int cells = 9;

// Top row first, one string per row, in the strip's order.
const char* const pictures[cells][cell] = {
    {// cut
     "................", "....#.....#.....", "....#.....#.....", "....#.....#.....", "....##...##.....",
     ".....#...#......", ".....##.##......", "......#.#.......", ".......#........", "......n.n.......",
     "....nnn.nnn.....", "...n..n.n..n....", "...n..n.n..n....", "...n..n.n..n....", "....nn...nn.....",
     "................"},
    {// copy
     "................", ".#######........", ".#wwwww##.......", ".#w###w#w#......", ".#wwwww####.....",
     ".#w###ww#######.", ".#wwwww#wwwww##.", ".#w####w#w###w#.", ".#wwwww#wwwww#w#", ".#w####w#w####w#",
     ".#wwwww#wwwwwww#", ".#######w#####w#", ".......#wwwwwww#", ".......#w#####w#", ".......#wwwwwww#",
     ".......#########"},
    {// paste
     "................", "....####........", ".###oooo###.....", "#oo#w##w#oo#....", "#o########o#....",
     "#oooooooooo#....", "#ooooo#########.", "#ooooo#wwwwwww##", "#ooooo#w#####w#.", "#ooooo#wwwwwww#.",
     "#ooooo#w#####w#.", "#ooooo#wwwwwww#.", "#ooooo#w####ww#.", ".#####.#wwwwww#.", ".......########.",
     "................"},
    {// undo
     "................", "................", "................", "....#...........", "...##...........",
     "..#b#######.....", ".#bbbbbbbbb#....", "#bbbbbbbbbbb#...", ".#bbbbbbbbbbb#..", "..#b#######bb#..",
     "...##.....#bb#..", "....#.....#bb#..", "..........#bb#..", "..........####..", "................",
     "................"},
    {// redo
     "................", "................", "................", "...........#....", "...........##...",
     ".....#######b#..", "....#bbbbbbbbb#.", "...#bbbbbbbbbbb#", "..#bbbbbbbbbbb#.", "..#bb#######b#..",
     "..#bb#.....##...", "..#bb#.....#....", "..#bb#..........", "..####..........", "................",
     "................"},
    {// delete
     "................", "................", "..rr........rr..", "..rrr......rrr..", "...rrr....rrr...",
     "....rrr..rrr....", ".....rrrrrr.....", "......rrrr......", "......rrrr......", ".....rrrrrr.....",
     "....rrr..rrr....", "...rrr....rrr...", "..rrr......rrr..", "..rr........rr..", "................",
     "................"},
    {// new
     "................", "...#######......", "...#wwwww##.....", "...#wwwww#w#....", "...#wwwww####...",
     "...#wwwwwwww#...", "...#wwwwwwww#...", "...#wwwwwwww#...", "...#wwwwwwww#...", "...#wwwwwwww#...",
     "...#wwwwwwww#...", "...#wwwwwwww#...", "...#wwwwwwww#...", "...#wwwwwwww#...", "...##########...",
     "................"},
    {// open
     "................", "................", "..........###...", ".........#...#.#", "..............##",
     ".###.........###", "#yyy#######.....", "#ywyw#wywyw#....", "#wyw#########...", "#yw#ooooooooo#..",
     "#w#ooooooooo#...", "##ooooooooo#....", "#ooooooooo#.....", "###########.....", "................",
     "................"},
    {// save
     "................", ".##############.", ".#t#wwwwwwww#t#.", ".#t#wwwwwwww#t#.", ".#t#wwwwwwww#t#.",
     ".#t#wwwwwwww#t#.", ".#tt########tt#.", ".#tttttttttttt#.", ".#ttt######ttt#.", ".#ttt#gg#g#ttt#.",
     ".#ttt#gg#g#ttt#.", ".#ttt#gg#g#ttt#.", "..#tt######tt#..", "...##########...", "................",
     "................"},
};

// A 40-byte header, the 16-colour table, then rows bottom-up, each padded
// to four bytes.
ResourceModule::Bitmap makeStrip() {
    const int width = cell * cells, height = cell;
    const size_t stride = ((size_t(width) * 4 + 31) / 32) * 4;
    ResourceModule::Bitmap dib(40 + 16 * 4 + stride * height, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            dib[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, uint32_t(width));
    put32(8, uint32_t(height));
    dib[12] = 1;  // planes
    dib[14] = 4;  // bits a pixel
    put32(32, 16);
    for (int i = 0; i < 16; ++i)
        put32(40 + size_t(i) * 4, palette[i]);
    uint8_t* rows = dib.data() + 40 + 16 * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = rows + size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const char* line = pictures[x / cell][y];
            const int c = colourOf(int(std::strlen(line)) > x % cell ? line[x % cell] : '.');
            row[x / 2] |= uint8_t(x % 2 ? c : c << 4);
        }
    }
    return dib;
}

}  // namespace

const ResourceModule* commonControlsModule() {
    static const ResourceModule* module = [] {
        auto* m = new ResourceModule("comctl32.dll");
        m->addBitmap(standardSmallColourBitmap, makeStrip());
        return m;
    }();
    return module;
}

}  // namespace pellium
