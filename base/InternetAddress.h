// An IPv4 address and TCP port, as the network code passes them around.
#pragma once

#include <vector>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/orvel_string.h"

namespace orvel {

class InternetAddress {
public:
    InternetAddress() = default;
    // address in host order: a.b.c.d is a << 24 | b << 16 | c << 8 | d.
    InternetAddress(unsigned address, unsigned port) : port_(port), address_(address) {}
    // "a.b.c.d" or "a.b.c.d:port", blanks allowed around the separators; any
    // other text is taken as a host name and resolved, with port 0. A null
    // text, an unreadable one, a component above 255 or a port above 65535
    // give address 0 and port 0.
    explicit InternetAddress(const char* text);

    // A dotted address as it is, else the first address of the host name.
    // On failure the address and the port become 0.
    void resolve(const char* host);
    // Every address the name resolves to (port 0); none on failure.
    static std::vector<InternetAddress> resolveAll(const char* host);

    // "a.b.c.d", or "a.b.c.d:port".
    orvel_string toString(bool withPort) const;

    unsigned address() const { return address_; }
    unsigned port() const { return port_; }
    void setAddress(unsigned address) { address_ = address; }
    void setPort(unsigned port) { port_ = port; }

    bool operator==(const InternetAddress& o) const { return port_ == o.port_ && address_ == o.address_; }
    bool operator!=(const InternetAddress& o) const { return !(*this == o); }

private:
    unsigned port_ = 0;
    unsigned address_ = 0;
};

// The port as a 32-bit value, then the address as a 32-bit value.
DataDest& operator<<(DataDest& out, const InternetAddress& a);
// Reads the same form, both words or neither: the target stays unchanged
// when the data ends, and while the words have not both come.
DataSource& operator>>(DataSource& in, InternetAddress& a);

// This computer's host name in lower case, read from the system once.
const orvel_string& localHostName();

}  // namespace orvel
