// Reading keyword text: keywords whole and in part, numbers and the error
// flag, quoted and plain texts, line ends, and numbers that do not fit or
// meet a locale with a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "tests/support/TempFolder.h"
#include "base/FileDataSource.h"
#include "base/LineReader.h"
#include "base/MemoryDataSource.h"

using namespace orvel;

namespace {

// A reader over text, standing on its first line.
class Lines {
public:
    explicit Lines(const std::string& text) : text_(text), source_(text_.data(), unsigned(text_.size()), false) {}
    LineReader& reader() { return reader_; }
    LineReader& first() {
        EXPECT_TRUE(reader_.nextLine());
        return reader_;
    }

private:
    std::string text_;
    MemoryDataSource source_;
    LineReader reader_{&source_};
};

}  // namespace

TEST(LineReaderTest, KeywordThenNumbers) {
    Lines lines("  Zone 12 0.5\n");
    LineReader& r = lines.first();
    EXPECT_TRUE(r.matchKeyword("zone", false, true));
    int i = -1;
    double d = -1;
    r >> i >> d;
    EXPECT_EQ(i, 12);
    EXPECT_EQ(d, 0.5);
    EXPECT_FALSE(r.error());
    r >> i;
    EXPECT_TRUE(r.error());
    EXPECT_EQ(i, 0);
}

TEST(LineReaderTest, PartOfAWordMatchesOnlyWhenAsked) {
    Lines lines("  Zone 12 0.5\n");
    LineReader& r = lines.first();
    EXPECT_FALSE(r.matchKeyword("Zon", false, true));
    EXPECT_EQ(r.cursor(), 0u);
    EXPECT_TRUE(r.matchKeyword("Zon", false, false));
    EXPECT_EQ(r.cursor(), 5u);
    EXPECT_FALSE(r.matchKeyword("Zones", false, false));
}

TEST(LineReaderTest, CaseAndWordEnds) {
    Lines lines("ZONE\t7\nZonex 1\nZone x\nZo\nZone\n");
    LineReader& r = lines.first();
    EXPECT_FALSE(r.matchKeyword("Zone", true, true));
    EXPECT_TRUE(r.matchKeyword("zone", false, true));
    int i;
    r >> i;
    EXPECT_EQ(i, 7);
    ASSERT_TRUE(r.nextLine());
    EXPECT_FALSE(r.matchKeyword("zone", false, true));
    EXPECT_TRUE(r.matchKeyword("zone", false, false));
    ASSERT_TRUE(r.nextLine());
    // A keyword that ends in a blank ends a word by itself.
    EXPECT_TRUE(r.matchKeyword("zone ", false, true));
    EXPECT_EQ(r.line()[r.cursor()], 'x');
    ASSERT_TRUE(r.nextLine());
    EXPECT_FALSE(r.matchKeyword("zone", false, false));
    ASSERT_TRUE(r.nextLine());
    EXPECT_TRUE(r.matchKeyword("zone", false, true));
    EXPECT_EQ(r.cursor(), 4u);
}

TEST(LineReaderTest, EmptyAndBlankLinesMatchNoWord) {
    Lines lines("\n \t \nx\n");
    LineReader& r = lines.reader();
    EXPECT_FALSE(r.matchKeyword("", false, true));  // no line yet
    ASSERT_TRUE(r.nextLine());
    EXPECT_EQ(r.line(), "");
    EXPECT_FALSE(r.matchKeyword("zone", false, false));
    EXPECT_TRUE(r.matchKeyword("", false, true));
    ASSERT_TRUE(r.nextLine());
    EXPECT_EQ(r.line(), " \t ");
    EXPECT_FALSE(r.matchKeyword("zone", false, false));
    EXPECT_FALSE(r.matchKeyword(" ", false, false));
    ASSERT_TRUE(r.nextLine());
    EXPECT_FALSE(r.matchKeyword("", false, true));
    EXPECT_TRUE(r.matchKeyword("", false, false));
}

TEST(LineReaderTest, ExpectedTextMustFollowAndEachNumberClearsTheErrorFlag) {
    Lines lines("x 5\n= 5\n  x 6\n");
    LineReader& r = lines.first();
    int i = -1;
    r >> i;
    EXPECT_TRUE(r.error());
    EXPECT_EQ(i, 0);
    r >> "x";
    EXPECT_TRUE(r.error());
    r >> i;
    EXPECT_FALSE(r.error());
    EXPECT_EQ(i, 5);

    ASSERT_TRUE(r.nextLine());
    r >> "=" >> i;
    EXPECT_FALSE(r.error());
    EXPECT_EQ(i, 5);
    ASSERT_TRUE(r.nextLine());
    r >> "=";
    EXPECT_TRUE(r.error());
    EXPECT_EQ(r.cursor(), 2u);
    r >> "x";
    r >> i;
    EXPECT_FALSE(r.error());
    EXPECT_EQ(i, 6);
    r >> "more";
    EXPECT_TRUE(r.error());
}

TEST(LineReaderTest, EveryKindOfNumber) {
    Lines lines("0 7 -3 42 0.25 1e300 1f 0x1F zz\n");
    LineReader& r = lines.first();
    bool b1 = true, b2 = false;
    int i;
    unsigned u;
    float f, big;
    r >> b1 >> b2 >> i >> u >> f >> big;
    EXPECT_FALSE(r.error());
    EXPECT_FALSE(b1);
    EXPECT_TRUE(b2);
    EXPECT_EQ(i, -3);
    EXPECT_EQ(u, 42u);
    EXPECT_EQ(f, 0.25f);
    EXPECT_TRUE(std::isinf(big));
    EXPECT_TRUE(r.readHex(u));
    EXPECT_EQ(u, 31u);
    EXPECT_TRUE(r.readHex(u));
    EXPECT_EQ(u, 31u);
    EXPECT_FALSE(r.readHex(u));
    EXPECT_TRUE(r.error());
    EXPECT_EQ(u, 0u);
    bool b = true;
    r.advance(100);
    r >> b;
    EXPECT_TRUE(r.error());
    EXPECT_FALSE(b);
}

TEST(LineReaderTest, NumbersClampTo32Bits) {
    Lines lines("3000000000 -3000000000 5000000000 -5 99999999999999999999999 1ffffffff\n");
    LineReader& r = lines.first();
    int big, small;
    unsigned huge, negative, overflow, hex;
    r >> big >> small >> huge >> negative >> overflow;
    EXPECT_FALSE(r.error());
    EXPECT_EQ(big, 2147483647);
    EXPECT_EQ(small, -2147483647 - 1);
    EXPECT_EQ(huge, 4294967295u);
    EXPECT_EQ(negative, 4294967291u);
    EXPECT_EQ(overflow, 4294967295u);
    EXPECT_TRUE(r.readHex(hex));
    EXPECT_EQ(hex, 0xFFFFFFFFu);
}

// A negative hexadecimal number wraps in 32 bits as its decimal twin does.
TEST(LineReaderTest, NegativeHexWrapsAsTheDecimalReaderDoes) {
    const std::pair<const char*, unsigned> rows[] = {{"-2 -2", 0xFFFFFFFEu},          {"-FF -255", 0xFFFFFF01u},
                                                     {"-0x10 -16", 0xFFFFFFF0u},      {"-FFFFFFFF -4294967295", 1u},
                                                     {"-100000000 -4294967296", ~0u}};
    for (const auto& [line, expected] : rows) {
        Lines lines(std::string(line) + "\n");
        unsigned hex = 0, decimal = 0;
        EXPECT_TRUE(lines.first().readHex(hex)) << line;
        lines.reader() >> decimal;
        EXPECT_EQ(hex, expected) << line;
        EXPECT_EQ(decimal, expected) << line;
    }
}

TEST(LineReaderTest, DecimalsIgnoreTheProcessLocale) {
    TempFolder folder;
    std::string command = "localedef -i de_DE -f ISO-8859-1 " + (folder / "de_DE") + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    setenv("LOCPATH", folder.path().c_str(), 1);
    const char* set = std::setlocale(LC_NUMERIC, "de_DE");
    unsetenv("LOCPATH");
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(std::strtod("0,5", nullptr), 0.5);  // the locale is in force

    Lines lines("0.5 2,5\n");
    LineReader& r = lines.first();
    double a, b;
    float c;
    r >> a >> b;
    r >> "," >> c;
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_FALSE(r.error());
    EXPECT_EQ(a, 0.5);
    EXPECT_EQ(b, 2.0);
    EXPECT_EQ(c, 5.0f);
}

TEST(LineReaderTest, QuotedString) {
    Lines lines("name \"big tree\" \"x\"\nname \"alone\nname none\n");
    LineReader& r = lines.first();
    ASSERT_TRUE(r.matchKeyword("name", false, true));
    EXPECT_EQ(r.quotedString(), "big tree\" \"x");
    EXPECT_EQ(r.cursor(), r.line().length());
    ASSERT_TRUE(r.nextLine());
    ASSERT_TRUE(r.matchKeyword("name", false, true));
    unsigned at = r.cursor();
    EXPECT_EQ(r.quotedString(), "");
    EXPECT_EQ(r.cursor(), at);
    ASSERT_TRUE(r.nextLine());
    ASSERT_TRUE(r.matchKeyword("name", false, true));
    EXPECT_EQ(r.quotedString(), "");
    EXPECT_EQ(r.cursor(), at);
}

TEST(LineReaderTest, TextIsQuotedOrTheRestOfTheLine) {
    Lines lines("  hello world  \n\"a b\" rest of it\n \"open end\n");
    LineReader& r = lines.first();
    orvel_string s;
    r >> s;
    EXPECT_EQ(s, "hello world  ");
    EXPECT_EQ(r.cursor(), r.line().length());
    ASSERT_TRUE(r.nextLine());
    r >> s;
    EXPECT_EQ(s, "a b");
    EXPECT_EQ(r.cursor(), 5u);
    r >> s;
    EXPECT_EQ(s, "rest of it");
    r >> s;
    EXPECT_EQ(s, "");
    ASSERT_TRUE(r.nextLine());
    r >> s;
    EXPECT_EQ(s, "open end");
}

TEST(LineReaderTest, SkipAndAdvanceStayOnTheLine) {
    Lines lines("ab \t cd\n");
    LineReader& r = lines.first();
    r.advance(2);
    r.skip();
    EXPECT_EQ(r.cursor(), 5u);
    r.advance(100);
    EXPECT_EQ(r.cursor(), 7u);
    r.skip();
    EXPECT_EQ(r.cursor(), 7u);
}

TEST(LineReaderTest, LineEndsAndTheEndOfTheData) {
    for (const char* text : {"a\nb\r\nc\n\rlast", "a\rb\n\nc\r\rlast"}) {
        Lines lines(text);
        LineReader& r = lines.reader();
        std::vector<std::string> got;
        while (r.nextLine())
            got.push_back(r.line().c_str());
        EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "c", "last"})) << text;
        EXPECT_FALSE(r.nextLine());
        EXPECT_EQ(r.line(), "");
        EXPECT_FALSE(r.matchKeyword("", false, false));
    }
}

TEST(LineReaderTest, FileWithoutAFinalLineEnd) {
    TempFolder folder;
    std::string name = folder / "world.txt";
    writeFile(name, {'Z', 'o', 'n', 'e', ' ', '1', '\n', 'E', 'n', 'd', ' ', '2'});
    FileDataSource source(name.c_str());
    LineReader r(&source);
    int n = 0;
    ASSERT_TRUE(r.nextLine());
    EXPECT_TRUE(r.matchKeyword("zone", false, true));
    r >> n;
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(r.nextLine());
    EXPECT_TRUE(r.matchKeyword("end", false, true));
    r >> n;
    EXPECT_EQ(n, 2);
    EXPECT_FALSE(r.error());
    EXPECT_FALSE(r.nextLine());
}

TEST(LineReaderTest, NoSourceHasNoLines) {
    LineReader r;
    EXPECT_FALSE(r.nextLine());
    std::string text = "x\n";
    MemoryDataSource source(text.data(), unsigned(text.size()), false);
    r.setSource(&source);
    EXPECT_TRUE(r.nextLine());
    EXPECT_EQ(r.line(), "x");
}
