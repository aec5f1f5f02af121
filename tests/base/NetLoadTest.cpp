// Many clients at once against the polled server, read from one thread as
// the game's main loop reads them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>

#include "tests/base/LoopbackPeer.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/Server.h"

using namespace orvel;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int goodClients = 500;
constexpr int vanishingClients = 24;
constexpr int clientCount = goodClients + vanishingClients;
constexpr unsigned streamSize = 64 * 1024;

// A client's stream: a hello frame with its number, then message frames of
// varied lengths (some past 254, so both count forms occur) up to 64 KiB.
// A frame is a letter, a compact length and the payload.
std::vector<unsigned char> clientStream(unsigned id, unsigned& frames) {
    MemoryDataDest out;
    out.writeByte('H').writeCompact(4).writeUInt32(id);
    frames = 1;
    for (unsigned seq = 0; out.size() < streamSize; ++seq, ++frames) {
        unsigned length = (id * 131 + seq * 97) % 700 + 1;
        out.writeByte('M').writeCompact(length);
        for (unsigned i = 0; i < length; ++i)
            out.writeByte(char(id * 31 + seq * 7 + i));
    }
    return std::vector<unsigned char>(out.data(), out.data() + out.size());
}

struct Client {
    int fd = -1;
    std::vector<unsigned char> stream;
    unsigned frames = 0;
    size_t sent = 0;
    // Vanishing clients stop in the middle of a frame; half of them reset.
    size_t stopAt = 0;
    bool reset = false;
    bool done = false;
};

// Drives every client from one thread with non-blocking sockets.
void runClients(std::vector<Client>& clients, std::uint16_t port, std::atomic<bool>& failed) {
    for (Client& c : clients) {
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback::socketAddress(port);
        if (c.fd < 0 || (connect(c.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS)) {
            failed = true;
            return;
        }
    }
    Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
    std::vector<pollfd> polls;
    std::vector<Client*> polled;
    for (;;) {
        polls.clear();
        polled.clear();
        for (Client& c : clients) {
            if (!c.done) {
                polls.push_back(pollfd{c.fd, POLLOUT, 0});
                polled.push_back(&c);
            }
        }
        if (polls.empty())
            return;
        if (Clock::now() > giveUp) {
            failed = true;
            return;
        }
        if (poll(polls.data(), polls.size(), 100) < 0)
            continue;
        for (size_t i = 0; i < polls.size(); ++i) {
            if (!(polls[i].revents & (POLLOUT | POLLERR | POLLHUP)))
                continue;
            Client& c = *polled[i];
            size_t end = c.stopAt ? c.stopAt : c.stream.size();
            // Small pieces, so frames are split across many reads.
            size_t piece = std::min<size_t>(end - c.sent, 1500 + c.sent % 3000);
            ssize_t n = send(c.fd, c.stream.data() + c.sent, piece, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN) {
                failed = true;
                return;
            }
            if (n > 0)
                c.sent += size_t(n);
            if (c.sent == end) {
                if (c.reset)
                    loopback::abort(c.fd);
                else
                    close(c.fd);
                c.done = true;
            }
        }
    }
}

struct Received {
    counted_ptr<NetConnection> connection;
    std::vector<unsigned char> bytes;
    bool ended = false;
};

// Parses the frames of one received stream; the number of whole frames, or
// -1 when the stream is not a clean sequence of frames.
int countFrames(const std::vector<unsigned char>& bytes) {
    MemoryDataSource in(bytes.data(), unsigned(bytes.size()), false);
    int frames = 0;
    std::vector<unsigned char> payload;
    while (in.bytesRemaining() > 0) {
        int letter = in.readByte();
        unsigned length = in.readCompact();
        if ((letter != 'H' && letter != 'M') || !in.good() || length > in.bytesRemaining())
            return -1;
        payload.resize(length);
        in.read(payload.data(), length);
        ++frames;
    }
    return frames;
}

}  // namespace

TEST(ServerLoad, FiveHundredClientsPolledFromOneThread) {
    // Both ends of every connection live in this process.
    rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t needed = 2 * clientCount + 64;
    if (files.rlim_cur < needed) {
        if (files.rlim_max < needed)
            GTEST_SKIP() << "not enough file descriptors allowed";
        files.rlim_cur = needed;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    }

    Server server(0);
    ASSERT_EQ(server.state(), Server::listening);

    std::vector<Client> clients(clientCount);
    for (unsigned id = 0; id < clients.size(); ++id) {
        Client& c = clients[id];
        c.stream = clientStream(id, c.frames);
        if (id >= goodClients) {
            c.stopAt = 10000 + id * 37 % 40000;
            c.reset = id % 2 == 0;
        }
    }

    std::atomic<bool> clientFailed{false};
    std::thread clientThread(runClients, std::ref(clients), server.port(), std::ref(clientFailed));

    // The game's loop: accept what waits, then read whatever each
    // connection has, never waiting on any of them.
    std::vector<Received> received;
    received.reserve(clientCount);
    size_t ended = 0;
    unsigned char block[16384];
    Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
    while (ended < clientCount && Clock::now() < giveUp && !clientFailed) {
        bool busy = false;
        while (server.hasConnection()) {
            received.push_back(Received{server.nextConnection(), {}, false});
            busy = true;
        }
        for (Received& r : received) {
            if (r.ended)
                continue;
            while (unsigned n = r.connection->input().read(block, sizeof block)) {
                r.bytes.insert(r.bytes.end(), block, block + n);
                busy = true;
            }
            if (r.connection->errorState() != netNoError) {
                r.ended = true;
                r.connection->close();
                ++ended;
            }
        }
        if (!busy)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    clientThread.join();
    ASSERT_FALSE(clientFailed);
    ASSERT_EQ(received.size(), size_t(clientCount));
    ASSERT_EQ(ended, size_t(clientCount));

    std::vector<bool> seen(clientCount, false);
    for (const Received& r : received) {
        // The hello frame: 'H', length 4, the client's number.
        ASSERT_GE(r.bytes.size(), 6u);
        unsigned id = unsigned(r.bytes[2]) | unsigned(r.bytes[3]) << 8 | unsigned(r.bytes[4]) << 16 |
                      unsigned(r.bytes[5]) << 24;
        ASSERT_LT(id, unsigned(clientCount));
        ASSERT_FALSE(seen[id]);
        seen[id] = true;
        const Client& c = clients[id];
        if (id < goodClients) {
            EXPECT_EQ(r.connection->errorState(), netPeerClosed) << id;
            ASSERT_EQ(r.bytes.size(), c.stream.size()) << id;
            EXPECT_TRUE(r.bytes == c.stream) << id;
            EXPECT_EQ(countFrames(r.bytes), int(c.frames)) << id;
        } else {
            // What arrived of a vanished client is the start of its stream.
            ASSERT_LE(r.bytes.size(), c.stopAt) << id;
            EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), c.stream.begin())) << id;
            if (!c.reset) {
                EXPECT_EQ(r.bytes.size(), c.stopAt) << id;
                EXPECT_EQ(r.connection->errorState(), netPeerClosed) << id;
            }
        }
    }
}
