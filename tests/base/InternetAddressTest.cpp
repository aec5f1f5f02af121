#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/InternetAddress.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"

using orvel::InternetAddress;

TEST(InternetAddress, ReadsDottedTextWithAnOptionalPort) {
    struct Case {
        const char* text;
        std::uint32_t address;
        unsigned port;
    } cases[] = {
        {"192.168.0.7:45321", 0xC0A80007, 45321},
        // Blanks around the separators are allowed.
        {"10 . 0 . 0 . 1", 0x0A000001, 0},
        {" 10\t.0. 0 .1 : 80", 0x0A000001, 80},
        // A trailing separator or text after the numbers is ignored.
        {"1.2.3.4:", 0x01020304, 0},
        {"1.2.3.4:5:6", 0x01020304, 5},
        // A host name is resolved, with port 0.
        {"localhost", 0x7F000001, 0},
        // Incomplete or out of range: nothing.
        {"1.2.3", 0, 0},
        {"", 0, 0},
        {"...", 0, 0},
        {"1.2.3.", 0, 0},
        {"300.1.1.1", 0, 0},
        {"1.2.3.256", 0, 0},
        {"1.2.3.4:65536", 0, 0},
        {"99999999999999999999.1.1.1", 0, 0},
        {":80", 0, 0},
        {nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        InternetAddress a(c.text);
        EXPECT_EQ(a.address(), c.address);
        EXPECT_EQ(a.port(), c.port);
    }
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

TEST(InternetAddress, TextsAndStreamForm) {
    InternetAddress a("192.168.0.7:45321");
    EXPECT_STREQ(a.toString(false).c_str(), "192.168.0.7");
    EXPECT_STREQ(a.toString(true).c_str(), "192.168.0.7:45321");
    EXPECT_STREQ(InternetAddress(0xFFFFFFFF, 0).toString(true).c_str(), "255.255.255.255:0");

    // The stream form is the port, then the address.
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
