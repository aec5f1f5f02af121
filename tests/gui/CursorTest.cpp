// The cursors' masks, built from their character pictures, bit by bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "gui/gl/Cursor.h"

using pellium::Cursor;

namespace {

// One word per mask row, the leftmost pixel in the highest bit.
using Rows = uint32_t[32];

uint32_t row(const uint8_t* mask, int r) {
    return uint32_t(mask[4 * r]) << 24 | uint32_t(mask[4 * r + 1]) << 16 | uint32_t(mask[4 * r + 2]) << 8 |
           uint32_t(mask[4 * r + 3]);
}

void expectMasks(const Cursor& c, const Rows& andRows, const Rows& xorRows) {
    for (int r = 0; r < 32; ++r) {
        EXPECT_EQ(row(c.andMask(), r), andRows[r]) << "AND row " << r;
        EXPECT_EQ(row(c.xorMask(), r), xorRows[r]) << "XOR row " << r;
    }
}

// A hand-made picture's masks: the rows listed as {row, AND word, XOR word},
// every other row see-through.
struct Drawn {
    int r;
    uint32_t andWord, xorWord;
};
void expectPicture(const Cursor& c, std::initializer_list<Drawn> drawn) {
    for (int r = 0; r < 32; ++r) {
        Drawn want{r, 0xFFFFFFFFu, 0u};
        for (const Drawn& d : drawn)
            if (d.r == r)
                want = d;
        EXPECT_EQ(row(c.andMask(), r), want.andWord) << "AND row " << r;
        EXPECT_EQ(row(c.xorMask(), r), want.xorWord) << "XOR row " << r;
    }
}

const Rows pointingAnd = {
    0xFCFFFFFF, 0xF87FFFFF, 0xF87FFFFF, 0xF87FFFFF, 0xF87FFFFF, 0xF81FFFFF, 0xF803FFFF, 0xF800FFFF,
    0x88007FFF, 0x80003FFF, 0x80003FFF, 0xC0003FFF, 0xE0003FFF, 0xE0003FFF, 0xF0003FFF, 0xF0007FFF,
    0xF8007FFF, 0xF8007FFF, 0xFC00FFFF, 0xFC00FFFF, 0xFC00FFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
const Rows pointingXor = {
    0x00000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x03000000, 0x03600000, 0x036C0000,
    0x036D0000, 0x33FD8000, 0x3BFF8000, 0x1BFF8000, 0x0BFF8000, 0x0FFF8000, 0x07FF8000, 0x07FF0000,
    0x03FF0000, 0x03FF0000, 0x01FE0000, 0x01FE0000};
const Rows openAnd = {
    0xFF3FFFFF, 0xF207FFFF, 0xE003FFFF, 0xE002FFFF, 0xF0007FFF, 0xF0007FFF, 0xC0007FFF, 0x80007FFF,
    0x8000FFFF, 0xC000FFFF, 0xE000FFFF, 0xE001FFFF, 0xF001FFFF, 0xF803FFFF, 0xFC03FFFF, 0xFC03FFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
const Rows openXor = {
    0x00000000, 0x00C00000, 0x0CD80000, 0x0CD80000, 0x06D90000, 0x06DB0000, 0x0BFB0000, 0x33FF0000,
    0x3BFE0000, 0x1FFE0000, 0x0FFE0000, 0x0FFC0000, 0x07FC0000, 0x03F80000, 0x01F80000, 0x01F80000};
const Rows grabbingAnd = {
    0xE49FFFFF, 0xC007FFFF, 0xC003FFFF, 0xE403FFFF, 0xC003FFFF, 0x8003FFFF, 0x8007FFFF, 0xC007FFFF,
    0xE00FFFFF, 0xF00FFFFF, 0xF00FFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
const Rows grabbingXor = {
    0x00000000, 0x1B600000, 0x1FE80000, 0x0BF80000, 0x0FF80000, 0x3FF80000, 0x3FF00000, 0x1FF00000,
    0x0FE00000, 0x07E00000, 0x07E00000};

}  // namespace

TEST(CursorTest, HandMasksAndHotSpots) {
    struct Case {
        int id, hotX, hotY;
        const Rows& andRows;
        const Rows& xorRows;
    } cases[] = {{Cursor::PointingHand, 6, 1, pointingAnd, pointingXor},
                 {Cursor::OpenHand, 7, 6, openAnd, openXor},
                 {Cursor::GrabbingHand, 5, 3, grabbingAnd, grabbingXor}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.id);
        Cursor c(k.id);
        EXPECT_TRUE(c.owned());
        EXPECT_EQ(c.hotX(), k.hotX);
        EXPECT_EQ(c.hotY(), k.hotY);
        expectMasks(c, k.andRows, k.xorRows);
    }
    EXPECT_TRUE(Cursor(Cursor::GrabbingHand).andMask()[4 * 3] & 0x04) << "the grabbing hand's hot pixel is see-through";
}

TEST(CursorTest, SystemIdsAreNotOwnedAndUnknownIdsAreTheArrow) {
    for (int id : {0, 1, 3, 4, 5, 8, 9, 10, 11, -1, 1000}) {
        Cursor c(id);
        EXPECT_FALSE(c.owned()) << id;
        EXPECT_EQ(c.hotX(), 16);
        expectPicture(c, {});
    }
}

TEST(CursorTest, FiveRowsLeaveTheRestSeeThroughAndNoHotCharGivesTheCentre) {
    // A missing row ends the picture: the sixth is never read.
    const char* rows[] = {"#", "+", "##", "++", "#+#", nullptr, "#####", nullptr};
    Cursor c(rows, false, false, '+', 'x', '+');
    EXPECT_EQ(c.hotX(), 16);
    EXPECT_EQ(c.hotY(), 16);
    expectPicture(c, {{0, 0x7FFFFFFF, 0},
                      {1, 0x7FFFFFFF, 0x80000000},
                      {2, 0x3FFFFFFF, 0},
                      {3, 0x3FFFFFFF, 0xC0000000},
                      {4, 0x1FFFFFFF, 0x40000000}});
}

TEST(CursorTest, AnEmptyRowEndsThePicture) {
    const char* rows[] = {"##", "", "##", nullptr};
    expectPicture(Cursor(rows, false, false, '+', 'x', '+'), {{0, 0x3FFFFFFF, 0}});
    Cursor none(nullptr, false, false, '+', 'x', '+');
    expectPicture(none, {});
    EXPECT_TRUE(none.owned());
}

TEST(CursorTest, OnlyThirtyTwoColumnsAndRowsAreRead) {
    // 40 white columns on 40 rows; a 33rd column or row would spill into the
    // next row or past the masks.
    const std::string wide(40, '+');
    const char* rows[41];
    for (int i = 0; i < 40; ++i)
        rows[i] = wide.c_str();
    rows[40] = nullptr;
    Cursor c(rows, false, false, '+', 'x', '+');
    for (int r = 0; r < 32; ++r) {
        EXPECT_EQ(row(c.andMask(), r), 0u) << r;
        EXPECT_EQ(row(c.xorMask(), r), 0xFFFFFFFFu) << r;
    }
    // A hot character past column 31 is never seen.
    const std::string late = std::string(32, '#') + "x";
    const char* lateRows[] = {late.c_str(), nullptr};
    Cursor d(lateRows, false, false, '+', 'x', '+');
    EXPECT_EQ(d.hotX(), 16);
    EXPECT_EQ(d.hotY(), 16);
}

TEST(CursorTest, CharactersOtherThanBlankAndWhiteAreBlack) {
    const char* rows[] = {"ab W.x", nullptr};
    Cursor c(rows, false, false, 'W', 'x', '#');
    EXPECT_EQ(c.hotX(), 5);
    EXPECT_EQ(c.hotY(), 0);
    expectPicture(c, {{0, 0x23FFFFFF, 0x10000000}});  // columns 0, 1, 3, 4, 5 drawn, only 3 white
}

TEST(CursorTest, MirroringReversesRowsOrSwapsThemAndMovesTheHotSpot) {
    const char* across[] = {"#+  x", " #", nullptr};
    Cursor plain(across, false, false, '+', 'x', '+');
    Cursor mirrored(across, true, false, '+', 'x', '+');
    EXPECT_EQ(plain.hotX(), 4);
    EXPECT_EQ(mirrored.hotX(), 27);
    EXPECT_EQ(mirrored.hotY(), 0);
    expectPicture(plain, {{0, 0x37FFFFFF, 0x48000000}, {1, 0xBFFFFFFF, 0}});
    expectPicture(mirrored, {{0, 0xFFFFFFEC, 0x00000012}, {1, 0xFFFFFFFD, 0}});

    const char* up[] = {"#", "x+", nullptr};
    Cursor flipped(up, false, true, '+', 'x', '#');
    EXPECT_EQ(flipped.hotX(), 0);
    EXPECT_EQ(flipped.hotY(), 30);
    expectPicture(flipped, {{31, 0x7FFFFFFF, 0}, {30, 0x3FFFFFFF, 0x40000000}});
    Cursor both(up, true, true, '+', 'x', '#');
    EXPECT_EQ(both.hotX(), 31);
    EXPECT_EQ(both.hotY(), 30);
    expectPicture(both, {{31, 0xFFFFFFFE, 0}, {30, 0xFFFFFFFC, 0x00000002}});
}

TEST(CursorTest, TheCacheKeepsOneCursorPerId) {
    orvel::counted_ptr<Cursor>& hand = pellium::getCursor(Cursor::PointingHand);
    ASSERT_TRUE(hand);
    EXPECT_EQ(pellium::getCursor(Cursor::PointingHand).get(), hand.get());
    EXPECT_NE(pellium::getCursor(Cursor::OpenHand).get(), hand.get());
    EXPECT_TRUE(hand->owned());
    EXPECT_FALSE(pellium::getCursor(11)->owned());
    EXPECT_NE(pellium::getCursor(11).get(), pellium::getCursor(0).get());
}
