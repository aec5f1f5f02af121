#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#include "tests/support/LogCapture.h"
#include "tests/base/Waiting.h"
#include "tests/base/LoopbackPeer.h"
#include "base/MemoryDataSource.h"
#include "base/NetConnection.h"
#include "base/Server.h"

using namespace orvel;

namespace {

using Clock = std::chrono::steady_clock;

void closeNow(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// Polls the server as the game's loop does until a connection waits.
counted_ptr<NetConnection> acceptFrom(Server& server) {
    waitFor([&] { return server.hasConnection(); });
    return server.nextConnection();
}

// Our connection to a listening socket of the test's; `peer` is the test's
// end once accepted. The test's sockets close with it.
struct Dialled {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    NetConnection c{InternetAddress(loopback::address, port)};
    int peer = -1;

    bool accept() {
        peer = loopback::acceptOne(listener);
        return peer >= 0;
    }
    ~Dialled() {
        closeNow(peer);
        closeNow(listener);
    }
};

// A connection the server accepted from a plain socket of the test's.
struct Accepted {
    explicit Accepted(const char* logName = nullptr) : server(0, logName) {}

    Server server;
    int client = loopback::connectTo(server.port());
    counted_ptr<NetConnection> c = acceptFrom(server);
    ~Accepted() { closeNow(client); }
};

// Reads from a non-blocking connection until the error code is set.
void readUntilError(NetConnection& c) {
    Clock::time_point start = Clock::now();
    while (c.errorState() == netNoError && secondsSince(start) < 5) {
        if (c.input().readByte() < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<unsigned char> pattern(size_t size) {
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = (unsigned char)(i * 7 + i / 251);
    return bytes;
}

// Writes more than the socket buffers hold to a peer that never reads.
// Should the write hang, the peer is reset after a while and the test fails
// on the time taken.
void expectWriteGivesUp(NetConnection& c, int& peer, size_t size) {
    LogCapture log;
    std::promise<void> written;
    std::thread watchdog([&] {
        if (written.get_future().wait_for(std::chrono::seconds(12)) != std::future_status::ready)
            loopback::abort(std::exchange(peer, -1));
    });
    const std::vector<unsigned char> sent = pattern(size);
    Clock::time_point start = Clock::now();
    c.output().write(sent.data(), unsigned(sent.size()));
    double took = secondsSince(start);
    written.set_value();
    watchdog.join();
    EXPECT_EQ(c.errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network write error! 110.");
    EXPECT_GT(took, 1.5);
    EXPECT_LT(took, 10.0);
}

}  // namespace

TEST(NetConnection, AddressZeroMakesNoConnection) {
    NetConnection c{InternetAddress()};
    EXPECT_FALSE(c.isConnected());
    EXPECT_TRUE(c.isReady());
    EXPECT_EQ(c.errorState(), netNoError);
    EXPECT_EQ(c.input().readByte(), -1);
    EXPECT_EQ(c.input().read(nullptr, 0), 0u);
}

TEST(NetConnection, RefusedConnectEndsWithError2) {
    std::uint16_t port = 0;
    int reserved = loopback::bound(port, false);
    ASSERT_GE(reserved, 0);
    // Found by polling isReady, as the game's loop does...
    NetConnection polled(InternetAddress(loopback::address, port));
    waitFor([&] {
        polled.isReady();
        return polled.errorState() != netNoError;
    });
    EXPECT_EQ(polled.errorState(), netRefused);
    EXPECT_FALSE(polled.isConnected());

    // ...or by the streams, which then return at once and log nothing.
    LogCapture log;
    NetConnection c(InternetAddress(loopback::address, port));
    Clock::time_point start = Clock::now();
    EXPECT_EQ(c.input().readByte(), -1);
    unsigned char buffer[16];
    EXPECT_EQ(c.input().read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(c.input().peekByte(), -1);
    c.output().writeUInt32(5);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_EQ(c.errorState(), netRefused);
    EXPECT_FALSE(c.input().good());
    EXPECT_FALSE(c.output().good());
    EXPECT_EQ(log.text().find("network"), std::string::npos) << log.text();
    close(reserved);
}

TEST(NetConnection, BytesArriveExactlyInBothDirections) {
    Dialled d;
    ASSERT_TRUE(d.accept());
    d.c.output().writeInt32(0x01020304);
    d.c.output().writeCompact(70000);
    d.c.output().writeString("ab");
    d.c.output() << 1.0;
    const unsigned char sent[] = {0x04, 0x03, 0x02, 0x01, 0xFF, 0x70, 0x11, 0x01, 0x00, 0x02, 0x61, 0x62,
                                  0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    unsigned char got[sizeof sent];
    ASSERT_TRUE(loopback::readExactly(d.peer, got, sizeof got));
    EXPECT_EQ(0, std::memcmp(got, sent, sizeof sent));
    EXPECT_TRUE(d.c.isConnected());
    EXPECT_TRUE(d.c.isReady());

    const unsigned char reply[] = {0x2A, 0x00, 0x00, 0x00, 0x03, 'x', 'y', 'z', 0x7F};
    ASSERT_TRUE(loopback::sendAll(d.peer, reply, sizeof reply));
    EXPECT_EQ(d.c.input().readInt32(), 42);
    orvel_string text;
    d.c.input() >> text;
    EXPECT_STREQ(text.c_str(), "xyz");
    EXPECT_EQ(d.c.input().peekByte(), 0x7F);
    EXPECT_EQ(d.c.input().readByte(), 0x7F);
    EXPECT_TRUE(d.c.input().good());
    EXPECT_EQ(d.c.errorState(), netNoError);
}

TEST(NetConnection, BlockingReadWaitsForItsBytes) {
    Dialled d;
    ASSERT_TRUE(d.accept());
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        loopback::sendAll(d.peer, "\x11\x22", 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loopback::sendAll(d.peer, "\x33\x44", 2);
        unsigned char wait;
        loopback::readExactly(d.peer, &wait, 1);
    });
    EXPECT_EQ(d.c.input().readUInt32(), 0x44332211u);
    d.c.output().writeByte(1);
    peer.join();
}

TEST(NetConnection, NonBlockingPreferenceReadsWhatIsThere) {
    Dialled d;
    d.c.setBlocking(false);
    ASSERT_TRUE(d.accept());
    ASSERT_TRUE(waitFor([&] { return d.c.isReady(); }));
    unsigned char buffer[8];
    EXPECT_EQ(d.c.input().read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(d.c.input().peekByte(), -1);
    EXPECT_TRUE(d.c.input().good());
    const unsigned char three[] = {1, 2, 3};
    ASSERT_TRUE(loopback::sendAll(d.peer, three, 3));
    ASSERT_TRUE(loopback::waitFor(d.peer, POLLOUT, 100));
    Clock::time_point start = Clock::now();
    unsigned got = 0;
    while (got < 3 && secondsSince(start) < 5)
        got += d.c.input().read(buffer + got, sizeof buffer - got);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(0, std::memcmp(buffer, three, 3));
}

TEST(NetConnection, NoDelayReadsBack) {
    Dialled d;
    ASSERT_GE(d.listener, 0);
    EXPECT_TRUE(d.c.setNoDelay(true));
    EXPECT_TRUE(d.c.setNoDelay(false));
    d.c.close();
    EXPECT_FALSE(d.c.setNoDelay(true));
}

TEST(NetConnection, CloseEndsSendingAndReturnsWhenThePeerCloses) {
    Dialled d;
    d.c.output().writeByte(9);
    ASSERT_TRUE(d.accept());
    std::thread peer([&] {
        unsigned char b[2];
        // Our byte, then the end of our sending; then the peer says goodbye.
        EXPECT_TRUE(loopback::readExactly(d.peer, b, 1));
        EXPECT_FALSE(loopback::readExactly(d.peer, b + 1, 1));
        loopback::sendAll(d.peer, "bye", 3);
        closeNow(d.peer);
    });
    Clock::time_point start = Clock::now();
    d.c.close();
    EXPECT_LT(secondsSince(start), 0.9);
    EXPECT_FALSE(d.c.isConnected());
    EXPECT_EQ(d.c.input().readByte(), -1);
    peer.join();
}

TEST(NetConnection, CloseDoesNotWaitLongForASilentPeer) {
    Dialled d;
    ASSERT_TRUE(d.accept());
    ASSERT_TRUE(d.c.isConnected());
    Clock::time_point start = Clock::now();
    d.c.close();
    EXPECT_LT(secondsSince(start), 1.5);
}

TEST(NetConnection, WritingToAClosedPeerSetsError3WithoutSigpipe) {
    Accepted a;
    ASSERT_TRUE(a.c);
    closeNow(a.client);
    LogCapture log;
    std::vector<unsigned char> block = pattern(4096);
    Clock::time_point start = Clock::now();
    while (a.c->errorState() == netNoError && secondsSince(start) < 5) {
        a.c->output().write(block.data(), unsigned(block.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(a.c->errorState(), netIoFailed);
    EXPECT_FALSE(a.c->output().good());
    std::string text = log.text();
    EXPECT_TRUE(text == "network write error! 32." || text == "network write error! 104.") << text;
}

TEST(NetConnection, AWriteLargerThanTheSocketBuffersWaitsForASlowReader) {
    Accepted a;
    ASSERT_TRUE(a.c);
    const std::vector<unsigned char> sent = pattern(24 << 20);
    std::vector<unsigned char> received(sent.size());
    bool complete = false;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        complete = loopback::readExactly(a.client, received.data(), received.size());
    });
    a.c->output().write(sent.data(), unsigned(sent.size()));
    EXPECT_TRUE(a.c->output().good());
    reader.join();
    EXPECT_TRUE(complete);
    EXPECT_TRUE(received == sent);
}

TEST(NetConnection, AWriteThatStaysBlockedGivesUpWithError3) {
    Accepted a;
    ASSERT_TRUE(a.c);
    expectWriteGivesUp(*a.c, a.client, 128 << 20);
}

TEST(NetConnection, ABlockingWriteThatStaysBlockedGivesUpWithError3) {
    Dialled d;
    ASSERT_TRUE(d.accept());
    ASSERT_TRUE(waitFor([&] { return d.c.isReady(); }));
    expectWriteGivesUp(d.c, d.peer, 32 << 20);
}

TEST(Server, ListensOnAPortOfItsChoosing) {
    Server server(0);
    EXPECT_EQ(server.state(), Server::listening);
    EXPECT_NE(server.port(), 0);
    EXPECT_FALSE(server.hasConnection());
    EXPECT_FALSE(server.nextConnection());
}

TEST(Server, PortInUseLeavesState2AndNoConnections) {
    std::uint16_t port = 0;
    int other = loopback::bound(port, true, true);
    ASSERT_GE(other, 0);
    Server server(port);
    EXPECT_EQ(server.state(), Server::bindFailed);
    EXPECT_EQ(server.port(), 0);
    int client = loopback::connectTo(port);
    ASSERT_GE(client, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(server.hasConnection());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(server.nextConnection());
    close(client);
    close(other);
}

TEST(Server, HasConnectionTwiceAcceptsOnce) {
    Server server(0);
    int first = loopback::connectTo(server.port());
    int second = loopback::connectTo(server.port());
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(waitFor([&] { return server.hasConnection(); }));
    EXPECT_TRUE(server.hasConnection());
    EXPECT_TRUE(server.hasConnection());
    counted_ptr<NetConnection> a = server.nextConnection();
    counted_ptr<NetConnection> b = acceptFrom(server);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    // Had a second call accepted again, the first client's connection would
    // have been replaced and lost.
    EXPECT_EQ(a->address(), InternetAddress(loopback::address, loopback::localPort(first)));
    EXPECT_EQ(b->address(), InternetAddress(loopback::address, loopback::localPort(second)));
    EXPECT_FALSE(server.hasConnection());
    close(first);
    close(second);
}

TEST(Server, AcceptedConnectionDoesNotBlockTheLoop) {
    Accepted a;
    ASSERT_TRUE(a.c);
    EXPECT_TRUE(a.c->isConnected());
    EXPECT_TRUE(a.c->isReady());
    Clock::time_point start = Clock::now();
    EXPECT_EQ(a.c->input().readByte(), -1);
    EXPECT_EQ(a.c->input().peekByte(), -1);
    EXPECT_LT(secondsSince(start), 0.5);
    EXPECT_TRUE(a.c->input().good());
}

// A peer thread sends records one byte at a time while the reader polls an
// accepted connection, which never waits, as the game's loop does. Each
// typed read waits, consuming nothing, until its value has come whole; the
// connection stays good. A line is whole at its end: a LF that comes after
// its CR still belongs to it.
TEST(NetConnection, TypedReadsTakeWholeValuesAsBytesTrickleIn) {
    Accepted a;
    ASSERT_TRUE(a.c);
    DataSource& in = a.c->input();
    auto text = [&](bool line) {
        orvel_string t;
        line ? (void)in.readLine(t) : (void)(in >> t);
        return std::string(t.c_str(), t.length());
    };
    auto letter = [&] {
        char c = 0;
        in >> c;
        return std::string(1, c);
    };
    std::string big(300, 'q');
    const std::pair<std::string, std::function<std::string()>> rows[] = {
        {"16909060", [&] { return std::to_string(in.readInt32()); }},
        {"70000", [&] { return std::to_string(in.readCompact()); }},
        {"254", [&] { return std::to_string(in.readCompact()); }},
        {"M", letter},  // a framed record: its letter, then a counted payload
        {big, [&] { return text(false); }},
        {"ab", [&] { return text(true); }},
        {"Q", letter},
        {"4660", [&] { return std::to_string(in.readUInt16()); }},
        {"last", [&] { return text(true); }},
        {"Z", letter},
    };
    const std::string sent = std::string("\x04\x03\x02\x01\xFF\x70\x11\x01\x00\xFEM\xFF\x2C\x01\x00\x00", 16) + big +
                             "ab\r\nQ\x34\x12last\n\nZ";
    std::thread peer([&] {
        for (char c : sent) {
            loopback::sendAll(a.client, &c, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int waits = 0;
    for (const auto& [expected, read] : rows) {
        std::string got;
        Clock::time_point start = Clock::now();
        for (got = read(); in.waiting() && in.good() && secondsSince(start) < 5; got = read()) {
            ++waits;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        EXPECT_EQ(got, expected);
        EXPECT_FALSE(in.fail());
    }
    peer.join();
    EXPECT_GT(waits, int(std::size(rows)));
    closeNow(a.client);
    EXPECT_TRUE(waitFor([&] { return in.readInt32(), !in.waiting(); }));
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(a.c->errorState(), netPeerClosed);
}

TEST(Server, ClosingPeerGivesMinusOneError4AndTheLogLine) {
    Accepted a;
    ASSERT_TRUE(a.c);
    ASSERT_TRUE(loopback::sendAll(a.client, "x", 1));
    closeNow(a.client);
    LogCapture log;
    int first = -1;
    waitFor([&] { return (first = a.c->input().readByte()) >= 0; });
    EXPECT_EQ(first, 'x');
    readUntilError(*a.c);
    EXPECT_EQ(a.c->errorState(), netPeerClosed);
    EXPECT_EQ(a.c->input().readByte(), -1);
    EXPECT_FALSE(a.c->input().good());
    EXPECT_FALSE(a.c->isConnected());
    EXPECT_EQ(log.text(), "network connection closed.");
}

TEST(Server, ResetByPeerIsAReadError) {
    Accepted a;
    ASSERT_TRUE(a.c);
    loopback::abort(std::exchange(a.client, -1));
    LogCapture log;
    readUntilError(*a.c);
    EXPECT_EQ(a.c->errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network read error! 104.");
}

TEST(Server, LogNameNamesEachAcceptedConnection) {
    LogCapture log;
    Accepted a("netplay");
    ASSERT_TRUE(a.c);
    EXPECT_EQ(log.text(), "netplay: connection from 127.0.0.1:" + std::to_string(loopback::localPort(a.client)) + "\n");
}

TEST(Server, ClientAndServerOfThisLibraryTalk) {
    Server server(0);
    std::string text = "127.0.0.1:" + std::to_string(server.port());
    NetConnection client{InternetAddress(text.c_str())};
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    client.output().writeString("hello");
    client.output().writeInt32(-7);
    Clock::time_point start = Clock::now();
    std::vector<unsigned char> got;
    unsigned char block[64];
    while (got.size() < 10 && secondsSince(start) < 5) {
        unsigned n = c->input().read(block, sizeof block);
        got.insert(got.end(), block, block + n);
    }
    orvel::MemoryDataSource in(got.data(), unsigned(got.size()), false);
    orvel_string hello;
    in >> hello;
    EXPECT_STREQ(hello.c_str(), "hello");
    EXPECT_EQ(in.readInt32(), -7);
    c->output().writeUInt32(0xCAFEF00D);
    EXPECT_EQ(client.input().readUInt32(), 0xCAFEF00Du);
}
