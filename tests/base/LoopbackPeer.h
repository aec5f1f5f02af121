// Plain POSIX sockets on 127.0.0.1, the independent peer of the network
// tests. Every helper gives up after a bounded wait so a broken connection
// fails the test instead of hanging it.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace loopback {

constexpr std::uint32_t address = 0x7F000001;

inline sockaddr_in socketAddress(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

inline std::uint16_t localPort(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// A socket bound to a port of the system's choosing, listening when asked.
// Bound without listening, it keeps a port on which nothing accepts.
inline int bound(std::uint16_t& port, bool listening, bool anyAddress = false) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = socketAddress(0);
    if (anyAddress)
        a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (listening && listen(fd, 64) != 0)) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = localPort(fd);
    return fd;
}

inline int connectTo(std::uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = socketAddress(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

inline bool waitFor(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, ms) > 0;
}

inline int acceptOne(int listener, int ms = 30000) {
    if (!waitFor(listener, POLLIN, ms))
        return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

// Reads exactly count bytes; false on timeout, error or end.
inline bool readExactly(int fd, void* buffer, size_t count, int ms = 30000) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        if (!waitFor(fd, POLLIN, ms))
            return false;
        ssize_t n = recv(fd, out, count, 0);
        if (n <= 0)
            return false;
        out += n;
        count -= size_t(n);
    }
    return true;
}

inline bool sendAll(int fd, const void* data, size_t count) {
    const unsigned char* in = static_cast<const unsigned char*>(data);
    while (count > 0) {
        ssize_t n = send(fd, in, count, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        in += n;
        count -= size_t(n);
    }
    return true;
}

// Closes with a reset instead of an orderly end.
inline void abort(int fd) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd);
}

}  // namespace loopback
