#include "Server.h"

#include "base/Debug.h"
#include "platform/Socket.h"

namespace orvel {

struct Server::Record {
    platform::Socket listener;
    unsigned short port = 0;
    State state = starting;
    orvel_string logName;
    counted_ptr<NetConnection> pending;
};

Server::Server(unsigned short port, const char* logName) : rec_(new Record) {
    rec_->logName = logName;
    if (!rec_->listener.open())
        return;
    switch (rec_->listener.listen(port)) {
    case platform::Socket::Listen::listening:
        rec_->state = listening;
        rec_->port = rec_->listener.localPort();
        return;
    case platform::Socket::Listen::bindFailed:
        rec_->state = bindFailed;
        break;
    case platform::Socket::Listen::listenFailed:
        rec_->state = listenFailed;
        break;
    }
    rec_->listener.close();
}

Server::~Server() = default;

bool Server::hasConnection() {
    if (rec_->state != listening)
        return false;
    if (rec_->pending && rec_->pending->isConnected())
        return true;
    platform::Socket accepted;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    if (rec_->listener.accept(accepted, address, port)) {
        InternetAddress peer(address, port);
        rec_->pending = counted_ptr<NetConnection>(new NetConnection(std::move(accepted), peer));
        if (!rec_->logName.empty())
            debug("%s: connection from %s\n", rec_->logName.c_str(), peer.toString(true).c_str());
    }
    return bool(rec_->pending);
}

counted_ptr<NetConnection> Server::nextConnection() {
    if (!rec_->pending)
        hasConnection();
    counted_ptr<NetConnection> next = std::move(rec_->pending);
    return next;
}

Server::State Server::state() const { return rec_->state; }

unsigned short Server::port() const { return rec_->port; }

}  // namespace orvel
