#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "base/orvel_string.h"

namespace {

// Runs f and returns the text of the std::out_of_range it throws ("" when none).
template <class F>
std::string rangeError(F f) {
    try {
        f();
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "";
}

TEST(StringGrowth, StaysInlineUpTo127ThenDoubles) {
    orvel_string s;
    for (int i = 0; i < 127; ++i)
        s.push_back('x');
    EXPECT_TRUE(s.isInline());
    EXPECT_EQ(s.capacity(), 0u);
    s.push_back('x');
    EXPECT_FALSE(s.isInline());
    EXPECT_EQ(s.capacity(), 254u);
    EXPECT_EQ(s.length(), 128u);
    while (s.length() < 254)
        s.push_back('y');
    EXPECT_EQ(s.capacity(), 254u);
    s.push_back('z');
    EXPECT_EQ(s.capacity(), 508u);
    EXPECT_EQ(s.length(), 255u);
    EXPECT_EQ(s[254], 'z');
    EXPECT_EQ(s.c_str()[255], 0);
}

TEST(StringGrowth, AppendReservesExactly) {
    orvel_string s(100, 'a');
    s.append(std::string(50, 'b').c_str());
    EXPECT_EQ(s.capacity(), 150u);
    s.append("c");
    EXPECT_EQ(s.capacity(), 151u);
    EXPECT_EQ(s.length(), 151u);
}

TEST(StringGrowth, AssignKeepsBlockAndResizeReturnsInline) {
    orvel_string s(300, 'a');
    ASSERT_EQ(s.capacity(), 300u);
    const char* block = s.c_str();
    std::string two(200, 'b');
    s.assign(two.c_str());
    EXPECT_EQ(s.capacity(), 300u);
    EXPECT_EQ(s.c_str(), block);
    EXPECT_EQ(s.length(), 200u);
    s.resize(20);
    EXPECT_FALSE(s.isInline());
    s.resize(30, 'c');
    EXPECT_TRUE(s.isInline());
    EXPECT_EQ(s.capacity(), 0u);
    EXPECT_EQ(std::string(s.c_str()), std::string(20, 'b') + std::string(10, 'c'));
}

TEST(StringGrowth, CopiesOfInlineAndHeapTexts) {
    orvel_string small("name");
    orvel_string big(500, 'q');
    orvel_string a(small), b(big);
    EXPECT_TRUE(a == small);
    EXPECT_TRUE(b == big);
    EXPECT_NE(b.c_str(), big.c_str());
    orvel_string moved(std::move(b));
    EXPECT_EQ(moved.length(), 500u);
    EXPECT_EQ(b.length(), 0u);
    EXPECT_TRUE(b.isInline());
}

TEST(StringConstruct, NullAndCountedSources) {
    orvel_string fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ(fromNull.length(), 0u);
    orvel_string withNul("a\0b", 3);
    EXPECT_EQ(withNul.length(), 3u);
    EXPECT_EQ(withNul[1], '\0');
    orvel_string s("abc");
    s.append(static_cast<const char*>(nullptr));
    EXPECT_EQ(s, "abc");
    s.assign(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.empty());
    s.assign('z');
    EXPECT_EQ(s, "z");
    s.assign(3, 'k');
    EXPECT_EQ(s, "kkk");
}

TEST(StringFind, LastOfBoundaries) {
    orvel_string s("abcab");
    EXPECT_EQ(s.find_last_of('a'), 3u);
    EXPECT_EQ(s.find_last_of('a', 2), 0u);
    EXPECT_EQ(s.find_last_of('a', 5), 3u);
    EXPECT_EQ(s.find_last_of('z'), orvel_string::npos);
    EXPECT_EQ(rangeError([&] { s.find_last_of('a', 6); }),
              "orvel_string::find_last_of() - position out of range");
}

TEST(StringFind, FirstOfBoundaries) {
    orvel_string s("hello");
    EXPECT_EQ(s.find_first_of('l'), 2u);
    EXPECT_EQ(s.find_first_of('l', 3), 3u);
    EXPECT_EQ(s.find_first_of('x', 5), orvel_string::npos);
    EXPECT_EQ(orvel_string::npos, 0x7FFFFFFFu);
    EXPECT_EQ(s.find_first_of('\0', 5), 5u);
    EXPECT_EQ(s.find_first_of("ol"), 2u);
    EXPECT_EQ(s.find_first_of("xyz"), orvel_string::npos);
    EXPECT_EQ(s.find_first_of("o", 4), 4u);
    EXPECT_EQ(rangeError([&] { s.find_first_of('h', 6); }),
              "orvel_string::find_first_of() - position out of range");
    EXPECT_EQ(rangeError([&] { s.find_first_of("h", 6); }),
              "orvel_string::find_first_of() - position out of range");
}

TEST(StringEdit, EraseCases) {
    orvel_string s("abcde");
    s.erase(5);
    EXPECT_EQ(s, "abcde");
    EXPECT_EQ(rangeError([&] { s.erase(6); }), "orvel_string::erase() - position out of range");
    s.erase(1, 2);
    EXPECT_EQ(s, "ade");
    s.erase(2, 100);
    EXPECT_EQ(s, "ad");
    orvel_string t("abcde");
    // A caller's 0xFFFFFFFF count must not wrap into a tail move.
    t.erase(2, 0xFFFFFFFFu);
    EXPECT_EQ(t, "ab");
    orvel_string u("xyz");
    char* it = u.erase(u.begin() + 1);
    EXPECT_EQ(u, "xz");
    EXPECT_EQ(*it, 'z');
}

TEST(StringEdit, SubstrNeverThrows) {
    orvel_string s("abcde");
    EXPECT_EQ(s.substr(10), "");
    EXPECT_EQ(s.substr(5), "");
    EXPECT_EQ(s.substr(1, 3), "bcd");
    EXPECT_EQ(s.substr(3, 0xFFFFFFFFu), "de");
    EXPECT_EQ(s.substr(2), "cde");
}

TEST(StringEdit, Insert) {
    orvel_string s("cd");
    s.insert(0, "ab", 2);
    EXPECT_EQ(s, "abcd");
    EXPECT_EQ(s.length(), 4u);
    s.insert(4, orvel_string("ef"));
    EXPECT_EQ(s, "abcdef");
    EXPECT_EQ(rangeError([&] { s.insert(7, "x", 1); }), "orvel_string::insert() - start pos is out of range");
    EXPECT_EQ(rangeError([&] { s.insert(70, "x", 0); }), "");
    EXPECT_EQ(s, "abcdef");
}

TEST(StringAliasing, AppendFromOwnText) {
    orvel_string s(200, 'a');
    s[0] = 'b';
    s.append(s.c_str() + 1);
    EXPECT_EQ(s.length(), 399u);
    EXPECT_EQ(s[0], 'b');
    EXPECT_EQ(s.find_first_of('b', 1), orvel_string::npos);
    orvel_string inlined("abc");
    inlined.append(inlined);
    EXPECT_EQ(inlined, "abcabc");
    // Across the inline limit.
    orvel_string t(100, 'x');
    t.append(t);
    EXPECT_EQ(t.length(), 200u);
    EXPECT_EQ(t, orvel_string(200, 'x'));
}

TEST(StringAliasing, InsertAndAssignFromOwnText) {
    orvel_string s("hello");
    s.insert(1, s);
    EXPECT_EQ(s, "hhelloello");
    orvel_string big(150, 'a');
    big[149] = 'z';
    big.insert(0, big.c_str() + 100, 50);  // grows the block while reading from it
    EXPECT_EQ(big.length(), 200u);
    EXPECT_EQ(big[49], 'z');
    EXPECT_EQ(big[199], 'z');
    orvel_string t("abcdef");
    t.assign(t.c_str() + 2);
    EXPECT_EQ(t, "cdef");
    orvel_string h(300, 'm');
    h[299] = 'n';
    h.assign(h.c_str() + 100);
    EXPECT_EQ(h.length(), 200u);
    EXPECT_EQ(h[199], 'n');
    orvel_string self("same");
    self = self;
    EXPECT_EQ(self, "same");
}

TEST(StringCompare, UnsignedBytesAndRanges) {
    EXPECT_EQ(orvel_string("a").compare("ab"), -1);
    EXPECT_EQ(orvel_string("ab").compare("a"), 1);
    EXPECT_EQ(orvel_string("ab").compare("ab"), 0);
    EXPECT_EQ(orvel_string("\xE9").compare("z"), 1);
    EXPECT_EQ(orvel_string("abc").compare(nullptr), 1);
    orvel_string s("keyword value");
    EXPECT_EQ(s.compareRange(0, 7, "keyword"), 0);
    EXPECT_EQ(s.compareRange(8, 5, "value"), 0);
    EXPECT_LT(s.compareRange(8, 5, "valuf"), 0);
    // A position past the end compares as the empty text instead of reading beyond it.
    EXPECT_EQ(s.compareRange(100, 3, ""), 0);
    EXPECT_LT(s.compareRange(100, 3, "a"), 0);
}

TEST(StringEdit, ToLowerOnlyAscii) {
    orvel_string s("ABC xyz \xC9Z");
    s.toLower();
    EXPECT_EQ(s, "abc xyz \xC9z");
}

TEST(StringConcat, AllForms) {
    orvel_string a("ab");
    EXPECT_EQ(a + orvel_string("cd"), "abcd");
    EXPECT_EQ(a + "cd", "abcd");
    EXPECT_EQ("cd" + a, "cdab");
    EXPECT_EQ('x' + a, "xab");
    EXPECT_EQ(a + 'x', "abx");
    orvel_string longer = orvel_string(120, 'a') + orvel_string(20, 'b');
    EXPECT_EQ(longer.length(), 140u);
    EXPECT_EQ(longer.capacity(), 140u);
}

TEST(StringLimits, HugeCountsAreRefused) {
    orvel_string s("abc");
    EXPECT_THROW(s.resize(0x7FFFFFFFu), std::length_error);
    EXPECT_THROW(s.append("x", 0x7FFFFFFEu), std::length_error);
    EXPECT_EQ(s, "abc");
}

}  // namespace
