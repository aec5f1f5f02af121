// Reading keyword text: keywords whole and in part, every kind of value
// with the error flag, line ends, and numbers that do not fit or meet a
// locale with a decimal comma.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/LineReader.h"
#include "base/MemoryDataSource.h"
#include "tests/support/TempFolder.h"

using namespace orvel;

namespace {

// A reader over text.
class Lines {
public:
    explicit Lines(const std::string& text) : text_(text), source_(text_.data(), unsigned(text_.size()), false) {}
    LineReader reader{&source_};

private:
    std::string text_;
    MemoryDataSource source_;
};

// Reads the first line of text as the script says, one value per letter:
// i int, u unsigned, b bool, f float, d double, x hexadecimal, s text,
// q quoted text, =c the text c expected, _ skip, + advance 1, A advance 100.
// Gives the values read, each marked ! when the error flag is set after it,
// and @ the cursor at the end.
std::string read(const std::string& text, const char* script) {
    Lines lines(text + "\n");
    LineReader& r = lines.reader;
    EXPECT_TRUE(r.nextLine());
    std::string out;
    for (const char* c = script; *c; ++c) {
        char number[64] = "";
        int i = -7;
        unsigned u = 7;
        bool b = true;
        float f = -7;
        double d = -7;
        orvel_string s("?");
        switch (*c) {
        case 'i': r >> i, std::snprintf(number, sizeof number, "%d", i); break;
        case 'u': r >> u, std::snprintf(number, sizeof number, "%u", u); break;
        case 'b': r >> b, std::snprintf(number, sizeof number, "%s", b ? "T" : "F"); break;
        case 'f': r >> f, std::to_chars(number, number + sizeof number, f); break;  // in no locale
        case 'd': r >> d, std::to_chars(number, number + sizeof number, d); break;
        case 'x':
            b = r.readHex(u);
            std::snprintf(number, sizeof number, "%s%u", b ? "" : "no", u);
            break;
        case 's': r >> s, std::snprintf(number, sizeof number, "'%s'", s.c_str()); break;
        case 'q': std::snprintf(number, sizeof number, "\"%s\"", r.quotedString().c_str()); break;
        case '=': r >> std::string(1, *++c).c_str(), std::snprintf(number, sizeof number, "=%c", *c); break;
        case '_': r.skip(); continue;
        case '+': r.advance(1); continue;
        default: r.advance(100); continue;
        }
        out += number + std::string(r.error() ? "! " : " ");
    }
    return out + "@" + std::to_string(r.cursor());
}

}  // namespace

TEST(LineReaderTest, KeywordsWholeOrInPartWithOrWithoutCase) {
    const struct {
        const char* line;
        const char* keyword;
        bool caseSensitive, wholeWord;
        int cursor;  // after a match; -1: no match
    } rows[] = {
        {"  Zone 12", "zone", false, true, 7},  {"  Zone 12", "Zon", false, true, -1}, {"  Zone 12", "Zon", false, false, 5},
        {"  Zone 12", "Zones", false, false, -1}, {"ZONE\t7", "Zone", true, true, -1}, {"ZONE\t7", "zone", false, true, 5},
        {"Zonex 1", "zone", false, true, -1},   {"Zonex 1", "zone", false, false, 4}, {"Zone x", "zone ", false, true, 5},
        {"Zo", "zone", false, false, -1},       {"Zone", "zone", false, true, 4},     {"", "", false, true, 0},
        {"", "zone", false, false, -1},         {" \t ", " ", false, false, -1},      {"x", "", false, true, -1},
        {"x", "", false, false, 0},
    };
    for (const auto& row : rows) {
        Lines lines(std::string(row.line) + "\n");
        LineReader& r = lines.reader;
        EXPECT_FALSE(r.matchKeyword("", false, false));  // no line yet
        ASSERT_TRUE(r.nextLine());
        EXPECT_EQ(r.matchKeyword(row.keyword, row.caseSensitive, row.wholeWord), row.cursor >= 0) << row.line << "/" << row.keyword;
        EXPECT_EQ(int(r.cursor()), std::max(row.cursor, 0)) << row.line << "/" << row.keyword;
    }
}

TEST(LineReaderTest, ValuesAndTheErrorFlag) {
    const std::pair<const char*, const char*> rows[][2] = {
        {{"0 7 -3 42 0.25 1e300 1f 0x1F zz", "bbiuffxxxAb"}, {"F T -3 42 0.25 inf 31 31 no0! F! ", "@31"}},
        // Numbers clamp to 32 bits; a negative unsigned number wraps.
        {{"3000000000 -3000000000 5000000000 -5 99999999999999999999999 1ffffffff", "iiuuux"},
         {"2147483647 -2147483648 4294967295 4294967291 4294967295 4294967295 ", "@70"}},
        // The text expected must follow; each number read clears the flag.
        {{"x 5", "i=xd=m"}, {"0! =x! 5 =m! ", "@3"}},
        {{"  = 5", "==i"}, {"== 5 ", "@5"}},
        {{"  hello world  ", "s"}, {"'hello world  ' ", "@15"}},
        {{"\"a b\" rest of it", "sss"}, {"'a b' 'rest of it' '' ", "@16"}},
        {{" \"open end", "s"}, {"'open end' ", "@10"}},
        {{"  \"big tree\" \"x\"", "q"}, {"\"big tree\" \"x\" ", "@16"}},
        {{"\"alone", "q"}, {"\"\" ", "@0"}},
        {{"none", "q"}, {"\"\" ", "@0"}},
        {{"ab \t cd", "++_A_"}, {"", "@7"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(read(row[0].first, row[0].second), std::string(row[1].first) + row[1].second) << row[0].first;
    EXPECT_EQ(read("ab \t cd", "++_"), "@5");
}

// A negative hexadecimal number wraps in 32 bits as its decimal twin does.
TEST(LineReaderTest, NegativeHexWrapsAsTheDecimalReaderDoes) {
    const std::pair<const char*, const char*> rows[] = {{"-2 -2", "4294967294 4294967294 "},
                                                        {"-FF -255", "4294967041 4294967041 "},
                                                        {"-0x10 -16", "4294967280 4294967280 "},
                                                        {"-FFFFFFFF -4294967295", "1 1 "},
                                                        {"-100000000 -4294967296", "4294967295 4294967295 "}};
    for (const auto& [line, values] : rows)
        EXPECT_EQ(read(line, "xu"), values + std::string("@") + std::to_string(std::string(line).size())) << line;
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
    std::string got = read("0.5 2,5", "dd=,f");
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_EQ(got, "0.5 2 =, 5 @7");
}

TEST(LineReaderTest, LinesEndAtLfCrOrTheEndOfTheData) {
    for (const char* text : {"a\nb\r\nc\n\rlast", "a\rb\n\nc\r\rlast"}) {
        Lines lines(text);
        std::string got;
        while (lines.reader.nextLine())
            got += lines.reader.line().c_str() + std::string("|");
        EXPECT_EQ(got, "a|b|c|last|") << text;
        EXPECT_EQ(lines.reader.line(), "");
        EXPECT_FALSE(lines.reader.matchKeyword("", false, false));
    }
    LineReader late;
    EXPECT_FALSE(late.nextLine());
    const char text[] = "x\n";
    MemoryDataSource source(text, 2, false);
    late.setSource(&source);
    EXPECT_TRUE(late.nextLine());
    EXPECT_EQ(late.line(), "x");
}
