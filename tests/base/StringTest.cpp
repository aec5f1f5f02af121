#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "base/orvel_string.h"

namespace {

std::string text(const orvel_string& s) { return std::string(s.begin(), s.end()); }

unsigned position(std::string::size_type found) { return found == std::string::npos ? orvel_string::npos : unsigned(found); }

// Random edits of an orvel_string and of a std::string give the same text.
// Half the sources are parts of the edited string itself, so a block
// reallocated or a tail moved while it is read shows (the sanitizers
// watch), and counts up to 0xFFFFFFFF must not wrap.
TEST(StringEdits, MatchStdStringWhateverTheSource) {
    std::mt19937 random(16);
    orvel_string s;
    std::string ref;
    for (int round = 0; round < 20000; ++round) {
        SCOPED_TRACE(round);
        const unsigned length = unsigned(ref.size()), pos = random() % (length + 1);
        const unsigned count = random() % 4 == 0 ? 0xFFFFFFFFu : random() % 300;
        const bool own = random() % 2 == 1;
        const std::string piece = own ? ref.substr(pos, count) : std::string(random() % 200, char('a' + random() % 26));
        const char* source = own ? s.c_str() + pos : piece.c_str();
        const unsigned n = unsigned(piece.size());
        const char c = char('a' + random() % 26), set[] = {c, char(c + 1), 0};
        switch (random() % 11) {
        case 0: s.append(source, n), ref.append(piece); break;
        case 1: own ? s.insert(pos, source, n) : s.insert(pos, orvel_string(source)), ref.insert(pos, piece); break;
        case 2: s.assign(source, n), ref.assign(piece); break;
        case 3: s.erase(pos, count), ref.erase(pos, count); break;
        case 4: s.resize(count % 400, c), ref.resize(count % 400, c); break;
        case 5: s.push_back(c), ref.push_back(c); break;
        case 6: s = c + orvel_string(s) + s.substr(pos, count) + c, ref = c + ref + ref.substr(pos, count) + c; break;
        case 7: s = "<" + s + ">", ref = "<" + ref + ">"; break;
        case 8: {
            orvel_string moved(std::move(s));
            const orvel_string& alias = moved;
            if (own)
                moved = alias, s = std::move(moved);
            else
                s = alias;
            break;
        }
        case 9:
            ASSERT_EQ(s.find_first_of(c, pos), position(ref.find_first_of(c, pos)));
            ASSERT_EQ(s.find_first_of(set + n % 2, pos), position(ref.find_first_of(set + n % 2, pos)));
            ASSERT_EQ(s.find_last_of(c, pos), position(ref.find_last_of(c, pos)));
            ASSERT_EQ(text(s.substr(pos + 2, count)), pos + 2 > length ? "" : ref.substr(pos + 2, count));
            break;
        default:
            if (pos < length) {
                ASSERT_EQ(s.erase(s.begin() + pos), s.begin() + pos);
                ref.erase(pos, 1);
            }
            break;
        }
        ASSERT_EQ(text(s), ref);
        ASSERT_EQ(s.c_str()[s.length()], 0);
        if (ref.size() > 3000)
            s.erase(1000), ref.erase(1000);
    }
}

// Inline up to 127 characters; a block then, which character growth doubles
// and text appends reserve exactly; back inline when a resize fits.
TEST(StringGrowth, InlineThenDoublingOrExact) {
    orvel_string s(127, 'x');
    EXPECT_TRUE(s.isInline());
    EXPECT_EQ(s.capacity(), 0u);
    s.push_back('x');
    EXPECT_EQ(s.capacity(), 254u);
    s.resize(254, 'y');
    EXPECT_EQ(s.capacity(), 254u);
    s.push_back('z');
    EXPECT_EQ(s.capacity(), 508u);

    orvel_string exact(100, 'a');
    exact.append(std::string(50, 'b').c_str());
    EXPECT_EQ(exact.capacity(), 150u);
    exact += "c";
    EXPECT_EQ(exact.capacity(), 151u);
    const char* block = exact.c_str();
    exact.assign(orvel_string(140, 'd'));
    EXPECT_EQ(exact.c_str(), block);
    exact.resize(20);
    EXPECT_FALSE(exact.isInline());
    exact.resize(30, 'e');
    EXPECT_TRUE(exact.isInline());
    EXPECT_EQ(text(exact), std::string(20, 'd') + std::string(10, 'e'));
    EXPECT_EQ((orvel_string(120, 'a') + orvel_string(20, 'b')).capacity(), 140u);
}

TEST(StringErrors, PositionsPastTheEndThrowAndHugeLengthsAreRefused) {
    orvel_string s("hello");
    auto rangeError = [&](auto f) {
        try {
            f();
        } catch (const std::out_of_range& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(rangeError([&] { s.insert(6, "x", 1); }), "orvel_string::insert() - start pos is out of range");
    EXPECT_EQ(rangeError([&] { s.find_first_of('h', 6); }), "orvel_string::find_first_of() - position out of range");
    EXPECT_EQ(rangeError([&] { s.find_first_of("h", 6); }), "orvel_string::find_first_of() - position out of range");
    EXPECT_EQ(rangeError([&] { s.find_last_of('h', 6); }), "orvel_string::find_last_of() - position out of range");
    EXPECT_EQ(rangeError([&] { s.erase(6); }), "orvel_string::erase() - position out of range");
    EXPECT_EQ(rangeError([&] { s.insert(70, "x", 0); }), "");
    EXPECT_EQ(s.find_last_of('l'), 3u);
    EXPECT_THROW(s.resize(0x7FFFFFFFu), std::length_error);
    EXPECT_THROW(s.append("x", 0x7FFFFFFEu), std::length_error);
    EXPECT_EQ(s, "hello");
}

TEST(StringCompare, UnsignedBytesNullsAndRangesPastTheEnd) {
    EXPECT_EQ(orvel_string("a").compare("ab"), -1);
    EXPECT_EQ(orvel_string("ab").compare("a"), 1);
    EXPECT_EQ(orvel_string("\xE9").compare("z"), 1);
    EXPECT_EQ(orvel_string("abc").compare(nullptr), 1);
    orvel_string s("keyword value");
    EXPECT_EQ(s.compareRange(8, 5, "value"), 0);
    EXPECT_LT(s.compareRange(8, 5, "valuf"), 0);
    // A position past the end compares as the empty text, reading nothing beyond.
    EXPECT_EQ(s.compareRange(100, 3, ""), 0);
    EXPECT_LT(s.compareRange(100, 3, "a"), 0);

    orvel_string mixed("ABC xyz \xC9Z");
    mixed.toLower();
    EXPECT_EQ(mixed, "abc xyz \xC9z");
    orvel_string none(static_cast<const char*>(nullptr));
    none.append(static_cast<const char*>(nullptr));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(orvel_string("a\0b", 3).length(), 3u);
    none.assign('z');
    EXPECT_EQ(none, "z");
}

}  // namespace
