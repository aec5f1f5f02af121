#include "InternetAddress.h"

#include <cstdio>

#include "platform/Socket.h"

namespace orvel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to five numbers laid out as "a . b . c . d : p", blanks allowed
// before each number and separator, and tells how many were read. Numbers
// are capped so a long run of digits cannot overflow.
int scanNumbers(const char* p, long numbers[5]) {
    static const char separators[] = "...:";
    int count = 0;
    for (;;) {
        while (isBlank(*p))
            ++p;
        if (!isDigit(*p))
            return count;
        long n = 0;
        for (; isDigit(*p); ++p)
            n = n > 1000000 ? n : n * 10 + (*p - '0');
        numbers[count++] = n;
        if (count == 5)
            return count;
        while (isBlank(*p))
            ++p;
        if (*p != separators[count - 1])
            return count;
        ++p;
    }
}

}  // namespace

InternetAddress::InternetAddress(const char* text) {
    if (!text)
        return;
    for (const char* p = text; *p; ++p) {
        if (!isDigit(*p) && *p != '.' && *p != ':' && !isBlank(*p)) {
            resolve(text);
            port_ = 0;
            return;
        }
    }
    long n[5] = {};
    int count = scanNumbers(text, n);
    if (count < 4)
        return;
    for (int i = 0; i < 4; ++i)
        if (n[i] > 255)
            return;
    if (count == 5 && n[4] > 65535)
        return;
    address_ = unsigned(n[0] << 24 | n[1] << 16 | n[2] << 8 | n[3]);
    port_ = count == 5 ? unsigned(n[4]) : 0;
}

void InternetAddress::resolve(const char* host) {
    std::vector<std::uint32_t> all = platform::resolveHost(host);
    if (all.empty()) {
        address_ = 0;
        port_ = 0;
        return;
    }
    address_ = all.front();
}

std::vector<InternetAddress> InternetAddress::resolveAll(const char* host) {
    std::vector<InternetAddress> result;
    for (std::uint32_t a : platform::resolveHost(host))
        result.emplace_back(a, 0);
    return result;
}

orvel_string InternetAddress::toString(bool withPort) const {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%ld.%ld.%ld.%ld", long(address_ >> 24), long(address_ >> 16 & 0xFF),
                          long(address_ >> 8 & 0xFF), long(address_ & 0xFF));
    if (withPort)
        std::snprintf(text + n, sizeof text - n, ":%u", port_);
    return orvel_string(text);
}

DataDest& operator<<(DataDest& out, const InternetAddress& a) {
    out.writeUInt32(a.port());
    return out.writeUInt32(a.address());
}

DataSource& operator>>(DataSource& in, InternetAddress& a) {
    // Both words or neither: a port taken while the address has not come
    // would be lost to the read that gets the address.
    if (!in.holds(8))
        return in;
    unsigned port = 0, address = 0;
    in >> port >> address;
    if (!in.fail())
        a = InternetAddress(address, port);
    return in;
}

const orvel_string& localHostName() {
    static const orvel_string name = [] {
        orvel_string n(platform::hostName().c_str());
        n.toLower();
        return n;
    }();
    return name;
}

}  // namespace orvel
