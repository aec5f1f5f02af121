#include <gtest/gtest.h>

#include "base/InternetAddress.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"

using orvel::InternetAddress;

TEST(InternetAddress, DottedTextWithPort) {
    InternetAddress a("192.168.0.7:45321");
    EXPECT_EQ(a.address(), 0xC0A80007u);
    EXPECT_EQ(a.port(), 45321u);
}

TEST(InternetAddress, BlanksAroundSeparatorsGivePortZero) {
    InternetAddress a("10 . 0 . 0 . 1");
    EXPECT_EQ(a.address(), 0x0A000001u);
    EXPECT_EQ(a.port(), 0u);
    InternetAddress b(" 10\t.0. 0 .1 : 80");
    EXPECT_EQ(b.address(), 0x0A000001u);
    EXPECT_EQ(b.port(), 80u);
}

TEST(InternetAddress, IncompleteOrOutOfRangeTextGivesNothing) {
    for (const char* text : {"1.2.3", "", "...", "1.2.3.", "300.1.1.1", "1.2.3.256", "1.2.3.4:65536",
                             "99999999999999999999.1.1.1", ":80"}) {
        InternetAddress a(text);
        EXPECT_EQ(a.address(), 0u) << text;
        EXPECT_EQ(a.port(), 0u) << text;
    }
    InternetAddress none(nullptr);
    EXPECT_EQ(none.address(), 0u);
    EXPECT_EQ(none.port(), 0u);
}

TEST(InternetAddress, TrailingSeparatorOrTextAfterTheNumbersIsIgnored) {
    InternetAddress a("1.2.3.4:");
    EXPECT_EQ(a.address(), 0x01020304u);
    EXPECT_EQ(a.port(), 0u);
    InternetAddress b("1.2.3.4:5:6");
    EXPECT_EQ(b.address(), 0x01020304u);
    EXPECT_EQ(b.port(), 5u);
}

TEST(InternetAddress, HostNameIsResolvedWithPortZero) {
    InternetAddress a("localhost");
    EXPECT_EQ(a.address(), 0x7F000001u);
    EXPECT_EQ(a.port(), 0u);
}

TEST(InternetAddress, ResolveKeepsPortOnSuccessAndClearsBothOnFailure) {
    InternetAddress a(0x01020304, 99);
    a.resolve("127.0.0.2");
    EXPECT_EQ(a.address(), 0x7F000002u);
    EXPECT_EQ(a.port(), 99u);
    a.resolve("");
    EXPECT_EQ(a.address(), 0u);
    EXPECT_EQ(a.port(), 0u);
    a = InternetAddress(5, 6);
    a.resolve(nullptr);
    EXPECT_EQ(a, InternetAddress());
}

TEST(InternetAddress, ResolveAllListsTheAddressesOfAName) {
    std::vector<InternetAddress> all = InternetAddress::resolveAll("localhost");
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().address(), 0x7F000001u);
    for (const InternetAddress& a : all)
        EXPECT_EQ(a.port(), 0u);
    EXPECT_TRUE(InternetAddress::resolveAll("").empty());
}

TEST(InternetAddress, Texts) {
    InternetAddress a("192.168.0.7:45321");
    EXPECT_STREQ(a.toString(false).c_str(), "192.168.0.7");
    EXPECT_STREQ(a.toString(true).c_str(), "192.168.0.7:45321");
    EXPECT_STREQ(InternetAddress(0xFFFFFFFF, 0).toString(true).c_str(), "255.255.255.255:0");
}

TEST(InternetAddress, StreamFormIsPortThenAddress) {
    InternetAddress a("192.168.0.7:45321");
    orvel::MemoryDataDest out;
    out << a;
    const unsigned char expected[] = {0x09, 0xB1, 0x00, 0x00, 0x07, 0x00, 0xA8, 0xC0};
    ASSERT_EQ(out.size(), sizeof expected);
    EXPECT_EQ(0, std::memcmp(out.data(), expected, sizeof expected));

    orvel::MemoryDataSource in(out.data(), out.size(), false);
    InternetAddress back;
    in >> back;
    EXPECT_TRUE(in.good());
    EXPECT_EQ(back, a);
}

TEST(InternetAddress, ShortStreamLeavesTargetUnchanged) {
    const unsigned char bytes[] = {0x09, 0xB1, 0x00, 0x00, 0x07, 0x00};
    orvel::MemoryDataSource in(bytes, sizeof bytes, false);
    InternetAddress target(0x01020304, 7);
    in >> target;
    EXPECT_FALSE(in.good());
    EXPECT_EQ(target, InternetAddress(0x01020304, 7));
}

TEST(InternetAddress, LocalHostNameIsLowerCaseAndStable) {
    const orvel_string& name = orvel::localHostName();
    EXPECT_FALSE(name.empty());
    for (char c : name)
        EXPECT_FALSE(c >= 'A' && c <= 'Z') << name.c_str();
    EXPECT_EQ(&name, &orvel::localHostName());
}
