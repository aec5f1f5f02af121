// One IPv4 TCP socket. Addresses are 32-bit words in host order (a.b.c.d is
// a << 24 | b << 16 | c << 8 | d). Sending never raises SIGPIPE: a closed peer
// is an ordinary error. A failed call leaves the system's error number in
// error().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class Socket {
public:
    // What receive() and send() return instead of a byte count.
    static constexpr long wouldBlock = -1;
    static constexpr long failed = -2;

    enum class Connect { done, pending, refused, failed };
    enum class Probe { pending, connected, refused, pollFailed };
    enum class Listen { listening, bindFailed, listenFailed };

    Socket() = default;
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A new TCP socket in place of any held one.
    bool open();
    bool isOpen() const { return fd_ >= 0; }
    void close();
    int error() const { return error_; }

    bool setBlocking(bool blocking);

    // Starts a connect; on a non-blocking socket it is usually pending.
    Connect connect(std::uint32_t address, std::uint16_t port);
    // Waits up to timeoutMs for a pending connect to end (0 looks once).
    Probe probeConnect(int timeoutMs);

    // Bytes received (peek leaves them queued), 0 when the peer has closed,
    // wouldBlock or failed.
    long receive(void* buffer, std::size_t count, bool peek = false);
    // Bytes sent, wouldBlock or failed. It never waits, even in blocking
    // mode: wouldBlock when the send buffer is full (waitWritable waits for
    // room, with a time limit a blocking send would not have).
    long send(const void* data, std::size_t count);
    // True when the socket became writable (or readable) within timeoutMs;
    // a timeout leaves ETIMEDOUT in error().
    bool waitWritable(int timeoutMs);
    bool waitReadable(int timeoutMs);
    void shutdownSend();

    bool setNoDelay(bool on);
    // The no-delay option as the system reports it; false when it cannot tell.
    bool readNoDelay(bool& on);

    // Binds every local address at port (0 lets the system choose), listens
    // with the largest backlog and turns non-blocking. A listener may take
    // the port of one that ended moments ago, never that of a live one.
    Listen listen(std::uint16_t port);
    // The port the socket is bound to, 0 when unknown.
    std::uint16_t localPort() const;
    // One accept without waiting; the accepted socket is non-blocking as its
    // listener is. False when nobody waits or on failure (see error()).
    bool accept(Socket& out, std::uint32_t& address, std::uint16_t& port);

private:
    bool waitFor(short events, int timeoutMs);

    int fd_ = -1;
    int error_ = 0;
};

// Every IPv4 address of a host name or dotted text, in the resolver's order;
// empty when it does not resolve.
std::vector<std::uint32_t> resolveHost(const char* name);
// This machine's host name as the system gives it.
std::string hostName();

}  // namespace platform
