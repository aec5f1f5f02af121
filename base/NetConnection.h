// A TCP connection as a pair of byte streams over one socket. A connection
// made here starts non-blocking and completes in the background; the streams
// wait for it only when the blocking preference is set (the default).
// A write waits for room to send all its bytes, in either mode, and fails
// when the peer takes nothing for two seconds. A read on a socket that does
// not wait (an accepted one, or one without the blocking preference) gives
// what has come: a typed read takes its value only once all of it is there,
// and until then waits (DataSource::waiting), so records may be read as
// their bytes trickle in.
// Errors are recorded, never thrown: the streams then give -1 or nothing.
#pragma once

#include <memory>

#include "base/DataConnection.h"
#include "base/InternetAddress.h"

namespace platform {
class Socket;
}

namespace orvel {

enum NetError {
    netNoError = 0,
    netConnectFailed = 1,  // a connect or its check failed
    netRefused = 2,        // the connection was refused or the socket reported an error
    netIoFailed = 3,       // a receive or send failed
    netPeerClosed = 4,     // the peer closed the connection
};

namespace InternetConnectionInternals {
struct Record;
}

class NetConnection : public DataConnection {
public:
    // Starts connecting to address; nothing happens for address 0.
    explicit NetConnection(const InternetAddress& address);
    ~NetConnection() override;

    // Shuts down sending, drains what the peer still sends for at most a
    // second, and closes the socket. Never blocks longer than that.
    void close() override;
    // Open and without error; a connect still pending counts (isReady tells).
    bool isConnected() override;
    DataSource& input() override;
    DataDest& output() override;

    const InternetAddress& address() const;
    // With true, reads wait for their bytes and writes for the connect.
    void setBlocking(bool blocking);
    // True when the option was set and reads back as set.
    bool setNoDelay(bool on);
    // True once no connect is pending.
    bool isReady();
    NetError errorState() const;

private:
    friend class Server;
    // An accepted socket: open, connected, left in the mode it came in.
    NetConnection(platform::Socket&& accepted, const InternetAddress& peer);

    std::unique_ptr<InternetConnectionInternals::Record> rec_;
};

}  // namespace orvel
