#include "Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

sockaddr_in makeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

// Runs a transfer again when a signal cut it short; a failure is kept in error.
template <class Transfer>
long transferred(int& error, Transfer transfer) {
    for (;;) {
        ssize_t r = transfer();
        if (r >= 0)
            return long(r);
        if (errno == EINTR)
            continue;
        error = errno;
        return error == EAGAIN || error == EWOULDBLOCK ? Socket::wouldBlock : Socket::failed;
    }
}

}  // namespace

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_), error_(other.error_) { other.fd_ = -1; }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        error_ = other.error_;
        other.fd_ = -1;
    }
    return *this;
}

bool Socket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd_ < 0)
        error_ = errno;
    return fd_ >= 0;
}

void Socket::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Socket::setBlocking(bool blocking) {
    int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) < 0) {
        error_ = errno;
        return false;
    }
    return true;
}

Socket::Connect Socket::connect(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a = makeAddress(address, port);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        return Connect::done;
    error_ = errno;
    // An interrupted connect goes on in the background, like a pending one.
    if (error_ == EINPROGRESS || error_ == EALREADY || error_ == EWOULDBLOCK || error_ == EINTR)
        return Connect::pending;
    return error_ == ECONNREFUSED ? Connect::refused : Connect::failed;
}

Socket::Probe Socket::probeConnect(int timeoutMs) {
    pollfd p{fd_, POLLOUT, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) {
        error_ = errno;
        return errno == EINTR ? Probe::pending : Probe::pollFailed;
    }
    if (r == 0)
        return Probe::pending;
    // Linux reports a failed connect as writable with the reason in SO_ERROR.
    int soError = 0;
    socklen_t length = sizeof soError;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soError, &length) < 0) {
        error_ = errno;
        return Probe::refused;
    }
    if (soError != 0 || (p.revents & (POLLERR | POLLNVAL))) {
        error_ = soError;
        return Probe::refused;
    }
    return Probe::connected;
}

long Socket::receive(void* buffer, std::size_t count, bool peek) {
    return transferred(error_, [&] { return ::recv(fd_, buffer, count, peek ? MSG_PEEK : 0); });
}

long Socket::send(const void* data, std::size_t count) {
    return transferred(error_, [&] { return ::send(fd_, data, count, MSG_NOSIGNAL | MSG_DONTWAIT); });
}

bool Socket::waitFor(short events, int timeoutMs) {
    pollfd p{fd_, events, 0};
    int r;
    do
        r = ::poll(&p, 1, timeoutMs);
    while (r < 0 && errno == EINTR);
    if (r <= 0)
        error_ = r < 0 ? errno : ETIMEDOUT;
    return r > 0;
}

bool Socket::waitWritable(int timeoutMs) { return waitFor(POLLOUT, timeoutMs); }

bool Socket::waitReadable(int timeoutMs) { return waitFor(POLLIN, timeoutMs); }

void Socket::shutdownSend() { ::shutdown(fd_, SHUT_WR); }

bool Socket::setNoDelay(bool on) {
    int value = on ? 1 : 0;
    if (setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) < 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool Socket::readNoDelay(bool& on) {
    int value = 0;
    socklen_t length = sizeof value;
    if (getsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &value, &length) < 0) {
        error_ = errno;
        return false;
    }
    on = value != 0;
    return true;
}

Socket::Listen Socket::listen(std::uint16_t port) {
    int yes = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a = makeAddress(INADDR_ANY, port);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        error_ = errno;
        return Listen::bindFailed;
    }
    if (::listen(fd_, SOMAXCONN) < 0) {
        error_ = errno;
        return Listen::listenFailed;
    }
    setBlocking(false);
    return Listen::listening;
}

std::uint16_t Socket::localPort() const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) < 0 || a.sin_family != AF_INET)
        return 0;
    return ntohs(a.sin_port);
}

bool Socket::accept(Socket& out, std::uint32_t& address, std::uint16_t& port) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    int fd;
    do
        fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&a), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    out.close();
    out.fd_ = fd;
    out.error_ = 0;
    address = ntohl(a.sin_addr.s_addr);
    port = ntohs(a.sin_port);
    return true;
}

std::vector<std::uint32_t> resolveHost(const char* name) {
    std::vector<std::uint32_t> result;
    if (!name || !*name)
        return result;
    in_addr dotted{};
    if (inet_pton(AF_INET, name, &dotted) == 1) {
        result.push_back(ntohl(dotted.s_addr));
        return result;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0)
        return result;
    for (addrinfo* i = list; i; i = i->ai_next) {
        if (i->ai_family != AF_INET)
            continue;
        std::uint32_t a = ntohl(reinterpret_cast<sockaddr_in*>(i->ai_addr)->sin_addr.s_addr);
        bool seen = false;
        for (std::uint32_t s : result)
            seen = seen || s == a;
        if (!seen)
            result.push_back(a);
    }
    freeaddrinfo(list);
    return result;
}

std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) < 0)
        return std::string();
    return name;
}

}  // namespace platform
