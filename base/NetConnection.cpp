#include "NetConnection.h"

#include <chrono>

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

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

class SocketReader : public DataSource {
public:
    explicit SocketReader(Record& rec) : rec_(rec) {}
    bool good() const override;
    int readByte() override;
    unsigned read(void* buffer, unsigned count) override;
    int peekByte() override;

private:
    Record& rec_;
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

unsigned SocketReader::read(void* buffer, unsigned count) {
    if (count == 0 || !rec_.usable())
        return 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned got = 0;
    while (got < count) {
        long r = rec_.socket.receive(out + got, count - got);
        if (r > 0) {
            got += unsigned(r);
            continue;
        }
        if (r != platform::Socket::wouldBlock)
            rec_.receiveFailed(r);
        break;
    }
    return got;
}

int SocketReader::readByte() {
    unsigned char c;
    return read(&c, 1) == 1 ? c : -1;
}

int SocketReader::peekByte() {
    if (!rec_.usable())
        return -1;
    unsigned char c;
    long r = rec_.socket.receive(&c, 1, true);
    if (r == 1)
        return c;
    if (r != platform::Socket::wouldBlock)
        rec_.receiveFailed(r);
    return -1;
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
