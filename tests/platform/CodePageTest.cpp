// Text between the program's code page (Windows-1252) and UTF-8, checked
// against the C library's own converter.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "platform/CodePage.h"

namespace {

// What iconv makes of the text; empty when it refuses.
std::string converted(const char* to, const char* from, std::string text) {
    iconv_t cd = iconv_open(to, from);
    char out[16] = {};
    char *in = text.data(), *o = out;
    size_t inLeft = text.size(), outLeft = sizeof out;
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != size_t(-1);
    iconv_close(cd);
    return ok ? std::string(out, o) : std::string();
}

}  // namespace

TEST(CodePageTest, EveryByteConvertsAsTheCLibraryDoesAndBack) {
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, char(b));
        std::string utf8 = converted("UTF-8", "CP1252", one);
        // The five bytes the code page leaves undefined stand for the C1 controls of their value.
        if (utf8.empty())
            utf8 = {char(0xC2), char(b)};
        EXPECT_EQ(platform::utf8FromCodePage(one), utf8) << b;
        int replaced = -1;
        EXPECT_EQ(platform::codePageFromUtf8(utf8, replaced), one) << b;
        EXPECT_EQ(replaced, 0);
    }
    EXPECT_EQ(platform::cp1252ToUnicode(0x80), 0x20ACu);
}

TEST(CodePageTest, WhatTheCodePageLacksBecomesAQuestionMarkAndIsCounted) {
    const struct {
        const char *utf8, *bytes;
        int replaced;
    } rows[] = {{"snow\xE2\x98\x83man", "snow?man", 1}, {"\xF0\x9F\x98\x80!", "?!", 1}, {"\xC2\x80", "?", 1},
                {"a\xE9z", "a?z", 1},                   {"\xE2\x82", "??", 2},         {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9", 0},
                {"\x80\xBF", "??", 2},
                // Overlong forms, surrogates and code points past U+10FFFF are no characters: each byte is
                // replaced, as any broken sequence's, and what follows them stays.
                {"bad \xFF\xFE bytes \xC0\x80 x", "bad ?? bytes ?? x", 4}, {"\xE0\x9F\xBF", "???", 3},
                {"\xF0\x8F\xBF\xBF", "????", 4}, {"\xED\xA0\x80", "???", 3}, {"\xF4\x90\x80\x80", "????", 4},
                {"\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "???", 3}};  // the smallest and largest whole ones
    for (const auto& row : rows) {
        int replaced = -1;
        EXPECT_EQ(platform::codePageFromUtf8(row.utf8, replaced), row.bytes) << row.utf8;
        EXPECT_EQ(replaced, row.replaced) << row.utf8;
    }
}
