#include "NetConnection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "base/Debug.h"
#include "platform/Socket.h"

namespace orvel {

namespace InternetConnectionInternals {

namespace {

using Clock = std::chrono::steady_clock;

// A write that makes no progress for this long gives up: the peer has
// stopped reading, and the rest of the packet cannot be sent in order.
constexpr int writeStallMs = 2000;
// close() waits this long at most for the peer to finish.
constexpr int drainMs = 1000;
// The reader's first window; it doubles while a value needs more.
constexpr size_t firstWindow = 4096;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

// Received bytes wait in the window until they are read, so that a typed
// read can take a whole value or, when it has not all come, nothing.
class SocketReader : public DataSource {
public:
    explicit SocketReader(Record& rec) : rec_(rec) { arriving = true; }
    bool good() const override;
    int readByte() override;
    unsigned read(void* buffer, unsigned count) override;
    int peekByte() override;
    // Forgets what was received and not read: the connection is closed.
    void forget();

protected:
    Supply fetch(unsigned count) override;

private:
    // Where the next unread byte is; the window may be hidden meanwhile.
    size_t unread() const { return windowNext ? size_t(windowNext - buffer_.data()) : 0; }
    size_t inWindow() const { return end_ - unread(); }

    Record& rec_;
    std::vector<unsigned char> buffer_;
    size_t end_ = 0;  // the received bytes end here
};

class SocketWriter : public DataDest {
public:
    explicit SocketWriter(Record& rec) : rec_(rec) {}
    bool good() const override;
    DataDest& writeByte(char c) override { return write(&c, 1); }
    DataDest& write(const void* data, unsigned count) override;

private:
    Record& rec_;
};

struct Record {
    platform::Socket socket;
    InternetAddress peer;
    NetError code = netNoError;
    bool open = false;
    bool pending = false;
    bool blocking = true;
    SocketReader reader{*this};
    SocketWriter writer{*this};

    void setError(NetError e) {
        if (code == netNoError)
            code = e;
    }

    // Looks (for up to timeoutMs) whether a pending connect has ended.
    // Connected: no longer pending, and back to blocking when preferred.
    void completeConnect(int timeoutMs) {
        if (!pending || code != netNoError)
            return;
        switch (socket.probeConnect(timeoutMs)) {
        case platform::Socket::Probe::pending:
            break;
        case platform::Socket::Probe::pollFailed:
            setError(netConnectFailed);
            break;
        case platform::Socket::Probe::refused:
            setError(netRefused);
            open = false;
            break;
        case platform::Socket::Probe::connected:
            pending = false;
            if (blocking)
                socket.setBlocking(true);
            break;
        }
    }

    // Whether the streams may use the socket now. With the blocking
    // preference a pending connect is waited for, checking every
    // millisecond, until it connects or fails.
    bool usable() {
        if (code != netNoError || !socket.isOpen())
            return false;
        if (blocking) {
            while (pending && code == netNoError)
                completeConnect(1);
        } else {
            completeConnect(0);
        }
        return !pending && code == netNoError;
    }

    void receiveFailed(long result) {
        if (result == 0) {
            setError(netPeerClosed);
            debug("network connection closed.");
        } else {
            setError(netIoFailed);
            debug("network read error! %d.", socket.error());
        }
    }

    // Shuts down sending and reads what the peer still sends until it
    // closes, an error comes or the time is up, then closes the socket.
    void shutdown() {
        open = false;
        reader.forget();
        if (!socket.isOpen())
            return;
        socket.setBlocking(false);
        socket.shutdownSend();
        Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(drainMs);
        char scrap[64];
        for (;;) {
            long r = socket.receive(scrap, sizeof scrap);
            if (r == platform::Socket::wouldBlock) {
                if (!socket.waitReadable(msLeft(deadline)))
                    break;
            } else if (r <= 0 || msLeft(deadline) == 0) {
                break;
            }
        }
        socket.close();
    }
};

bool SocketReader::good() const { return rec_.code == netNoError; }

DataSource::Supply SocketReader::fetch(unsigned count) {
    size_t have = inWindow();
    if (unread() > 0)
        std::memmove(buffer_.data(), buffer_.data() + unread(), have);
    end_ = have;
    Supply supply = Supply::later;
    while (end_ < count) {
        if (!rec_.usable()) {
            // A connect still pending is worth waiting for; nothing else is.
            if (rec_.code != netNoError || !rec_.socket.isOpen())
                supply = Supply::ended;
            break;
        }
        if (end_ == buffer_.size())
            buffer_.resize(buffer_.empty() ? firstWindow : 2 * buffer_.size());
        long r = rec_.socket.receive(buffer_.data() + end_, buffer_.size() - end_);
        if (r <= 0) {
            if (r != platform::Socket::wouldBlock) {
                rec_.receiveFailed(r);
                supply = Supply::ended;
            }
            break;
        }
        unsigned char* first = buffer_.data() + end_;
        if (lineEndOpen && (*first == 0x0A || *first == 0x0D)) {
            std::memmove(first, first + 1, size_t(r) - 1);
            --r;
        }
        lineEndOpen = false;
        end_ += size_t(r);
    }
    showWindow(buffer_.data(), buffer_.data() + end_);
    return end_ >= count ? Supply::enough : supply;
}

// What has come of count bytes; with the blocking preference all of them
// unless the connection ends. 0 once the connection has an error.
unsigned SocketReader::read(void* buffer, unsigned count) {
    if (count == 0 || fail() || rec_.code != netNoError)
        return 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned got = 0;
    while (got < count) {
        size_t n = inWindow();
        if (n == 0 && fetch(1) != Supply::enough)
            break;
        n = std::min<size_t>(inWindow(), count - got);
        std::memcpy(out + got, windowNext, n);
        windowNext += n;
        got += unsigned(n);
    }
    showWindow(windowNext, buffer_.data() + end_);
    return got;
}

int SocketReader::readByte() {
    unsigned char c;
    return read(&c, 1) == 1 ? c : -1;
}

int SocketReader::peekByte() {
    if (fail() || rec_.code != netNoError || (inWindow() == 0 && fetch(1) != Supply::enough))
        return -1;
    showWindow(windowNext, buffer_.data() + end_);
    return *windowNext;
}

void SocketReader::forget() {
    buffer_.clear();
    end_ = 0;
    lineEndOpen = false;
    showWindow(nullptr, nullptr);
}

bool SocketWriter::good() const { return rec_.code == netNoError; }

DataDest& SocketWriter::write(const void* data, unsigned count) {
    if (count == 0 || !rec_.usable())
        return *this;
    const unsigned char* in = static_cast<const unsigned char*>(data);
    unsigned sent = 0;
    Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(writeStallMs);
    while (sent < count) {
        long r = rec_.socket.send(in + sent, count - sent);
        if (r > 0) {
            sent += unsigned(r);
            giveUp = Clock::now() + std::chrono::milliseconds(writeStallMs);
            continue;
        }
        // A full send buffer, in either mode: wait for room rather than drop
        // the rest, but not for ever on a peer that has stopped reading.
        if (r == platform::Socket::wouldBlock && rec_.socket.waitWritable(msLeft(giveUp)))
            continue;
        rec_.setError(netIoFailed);
        debug("network write error! %d.", rec_.socket.error());
        break;
    }
    return *this;
}

}  // namespace InternetConnectionInternals

using InternetConnectionInternals::Record;

NetConnection::NetConnection(const InternetAddress& address) : rec_(new Record) {
    rec_->peer = address;
    if (address.address() == 0)
        return;
    if (!rec_->socket.open()) {
        rec_->setError(netConnectFailed);
        debug("error code: %d\n", rec_->socket.error());
        return;
    }
    rec_->open = true;
    if (!rec_->socket.setBlocking(false))
        debug("Socket blocking call failed!\n");
    switch (rec_->socket.connect(address.address(), std::uint16_t(address.port()))) {
    case platform::Socket::Connect::done:
        if (rec_->blocking)
            rec_->socket.setBlocking(true);
        return;
    case platform::Socket::Connect::pending:
        rec_->pending = true;
        return;
    case platform::Socket::Connect::refused:
        rec_->setError(netRefused);
        break;
    case platform::Socket::Connect::failed:
        rec_->setError(netConnectFailed);
        break;
    }
    debug("error code: %d\n", rec_->socket.error());
    rec_->shutdown();
}

NetConnection::NetConnection(platform::Socket&& accepted, const InternetAddress& peer) : rec_(new Record) {
    rec_->socket = std::move(accepted);
    rec_->peer = peer;
    rec_->open = true;
}

NetConnection::~NetConnection() { rec_->shutdown(); }

void NetConnection::close() { rec_->shutdown(); }

bool NetConnection::isConnected() {
    rec_->completeConnect(0);
    return rec_->open && rec_->code == netNoError;
}

DataSource& NetConnection::input() { return rec_->reader; }

DataDest& NetConnection::output() { return rec_->writer; }

const InternetAddress& NetConnection::address() const { return rec_->peer; }

void NetConnection::setBlocking(bool blocking) {
    rec_->blocking = blocking;
    if (!rec_->pending && rec_->socket.isOpen())
        rec_->socket.setBlocking(blocking);
}

bool NetConnection::setNoDelay(bool on) {
    bool now = !on;
    return rec_->socket.isOpen() && rec_->socket.setNoDelay(on) && rec_->socket.readNoDelay(now) && now == on;
}

bool NetConnection::isReady() {
    rec_->completeConnect(0);
    return !rec_->pending;
}

NetError NetConnection::errorState() const { return rec_->code; }

}  // namespace orvel
