// The listening side of network play, polled from the game's main loop: it
// never blocks, and accepted connections come out one at a time.
#pragma once

#include <memory>

#include "base/NetConnection.h"
#include "base/counted_ptr.h"

namespace orvel {

class Server {
public:
    enum State { listening = 0, starting = 1, bindFailed = 2, listenFailed = 3 };

    // Listens on every local address at port; 0 lets the system choose one
    // (port() tells which). With a log name, each accepted connection is
    // logged under it.
    explicit Server(unsigned short port, const char* logName = nullptr);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Whether an accepted connection is waiting to be taken; accepts at most
    // one new connection per call, without waiting.
    bool hasConnection();
    // The waiting connection (accepting one first when none waits), or null.
    counted_ptr<NetConnection> nextConnection();

    State state() const;
    // The port listened on; 0 when not listening.
    unsigned short port() const;

private:
    struct Record;
    std::unique_ptr<Record> rec_;
};

}  // namespace orvel
