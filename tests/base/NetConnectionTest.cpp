#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "tests/LogCapture.h"
#include "tests/base/Waiting.h"
#include "tests/base/LoopbackPeer.h"
#include "base/MemoryDataSource.h"
#include "base/NetConnection.h"
#include "base/Server.h"

using namespace orvel;

namespace {

using Clock = std::chrono::steady_clock;

// Polls the server as the game's loop does until a connection waits.
counted_ptr<NetConnection> acceptFrom(Server& server) {
    waitFor([&] { return server.hasConnection(); });
    return server.nextConnection();
}

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
    NetConnection c(InternetAddress(loopback::address, port));
    Clock::time_point start = Clock::now();
    while (c.errorState() == netNoError && secondsSince(start) < 5)
        c.isReady();
    EXPECT_EQ(c.errorState(), netRefused);
    EXPECT_FALSE(c.isConnected());
    close(reserved);
}

TEST(NetConnection, ReadsAndWritesAfterARefusedConnectReturnAtOnce) {
    std::uint16_t port = 0;
    int reserved = loopback::bound(port, false);
    ASSERT_GE(reserved, 0);
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
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    int peer = loopback::acceptOne(listener);
    ASSERT_GE(peer, 0);

    c.output().writeInt32(0x01020304);
    c.output().writeCompact(70000);
    c.output().writeString("ab");
    c.output() << 1.0;
    const unsigned char sent[] = {0x04, 0x03, 0x02, 0x01, 0xFF, 0x70, 0x11, 0x01, 0x00, 0x02, 0x61, 0x62,
                                  0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    unsigned char got[sizeof sent];
    ASSERT_TRUE(loopback::readExactly(peer, got, sizeof got));
    EXPECT_EQ(0, std::memcmp(got, sent, sizeof sent));
    EXPECT_TRUE(c.isConnected());
    EXPECT_TRUE(c.isReady());

    const unsigned char reply[] = {0x2A, 0x00, 0x00, 0x00, 0x03, 'x', 'y', 'z', 0x7F};
    ASSERT_TRUE(loopback::sendAll(peer, reply, sizeof reply));
    EXPECT_EQ(c.input().readInt32(), 42);
    orvel_string text;
    c.input() >> text;
    EXPECT_STREQ(text.c_str(), "xyz");
    EXPECT_EQ(c.input().peekByte(), 0x7F);
    EXPECT_EQ(c.input().readByte(), 0x7F);
    EXPECT_TRUE(c.input().good());
    EXPECT_EQ(c.errorState(), netNoError);
    close(peer);
    close(listener);
}

TEST(NetConnection, BlockingReadWaitsForItsBytes) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    std::thread peerThread([&] {
        int peer = loopback::acceptOne(listener);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const unsigned char first[] = {0x11, 0x22};
        loopback::sendAll(peer, first, 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const unsigned char rest[] = {0x33, 0x44};
        loopback::sendAll(peer, rest, 2);
        unsigned char wait;
        loopback::readExactly(peer, &wait, 1);
        close(peer);
    });
    EXPECT_EQ(c.input().readUInt32(), 0x44332211u);
    c.output().writeByte(1);
    peerThread.join();
    close(listener);
}

TEST(NetConnection, NonBlockingPreferenceReadsWhatIsThere) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    c.setBlocking(false);
    int peer = loopback::acceptOne(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitFor([&] { return c.isReady(); }));
    unsigned char buffer[8];
    EXPECT_EQ(c.input().read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(c.input().peekByte(), -1);
    EXPECT_TRUE(c.input().good());
    const unsigned char three[] = {1, 2, 3};
    ASSERT_TRUE(loopback::sendAll(peer, three, 3));
    ASSERT_TRUE(loopback::waitFor(peer, POLLOUT, 100));
    Clock::time_point start = Clock::now();
    unsigned got = 0;
    while (got < 3 && secondsSince(start) < 5)
        got += c.input().read(buffer + got, sizeof buffer - got);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(0, std::memcmp(buffer, three, 3));
    close(peer);
    close(listener);
}

TEST(NetConnection, NoDelayReadsBack) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    EXPECT_TRUE(c.setNoDelay(true));
    EXPECT_TRUE(c.setNoDelay(false));
    c.close();
    EXPECT_FALSE(c.setNoDelay(true));
    close(listener);
}

TEST(NetConnection, CloseEndsSendingAndReturnsWhenThePeerCloses) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    c.output().writeByte(9);
    int peer = loopback::acceptOne(listener);
    ASSERT_GE(peer, 0);
    std::thread peerThread([&] {
        unsigned char b[2];
        // Our byte, then the end of our sending; then the peer says goodbye.
        EXPECT_TRUE(loopback::readExactly(peer, b, 1));
        EXPECT_FALSE(loopback::readExactly(peer, b + 1, 1));
        loopback::sendAll(peer, "bye", 3);
        close(peer);
    });
    Clock::time_point start = Clock::now();
    c.close();
    EXPECT_LT(secondsSince(start), 0.9);
    EXPECT_FALSE(c.isConnected());
    EXPECT_EQ(c.input().readByte(), -1);
    peerThread.join();
    close(listener);
}

TEST(NetConnection, CloseDoesNotWaitLongForASilentPeer) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    int peer = loopback::acceptOne(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(c.isConnected());
    Clock::time_point start = Clock::now();
    c.close();
    EXPECT_LT(secondsSince(start), 1.5);
    close(peer);
    close(listener);
}

TEST(NetConnection, WritingToAClosedPeerSetsError3WithoutSigpipe) {
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    close(client);
    LogCapture log;
    std::vector<unsigned char> block = pattern(4096);
    Clock::time_point start = Clock::now();
    while (c->errorState() == netNoError && secondsSince(start) < 5) {
        c->output().write(block.data(), unsigned(block.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(c->errorState(), netIoFailed);
    EXPECT_FALSE(c->output().good());
    std::string text = log.text();
    EXPECT_TRUE(text == "network write error! 32." || text == "network write error! 104.") << text;
}

TEST(NetConnection, AWriteLargerThanTheSocketBuffersWaitsForASlowReader) {
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    const std::vector<unsigned char> sent = pattern(24 << 20);
    std::vector<unsigned char> received(sent.size());
    bool complete = false;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        complete = loopback::readExactly(client, received.data(), received.size());
    });
    c->output().write(sent.data(), unsigned(sent.size()));
    EXPECT_TRUE(c->output().good());
    reader.join();
    EXPECT_TRUE(complete);
    EXPECT_TRUE(received == sent);
    close(client);
}

TEST(NetConnection, AWriteThatStaysBlockedGivesUpWithError3) {
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    LogCapture log;
    const std::vector<unsigned char> sent = pattern(128 << 20);
    Clock::time_point start = Clock::now();
    c->output().write(sent.data(), unsigned(sent.size()));
    double took = secondsSince(start);
    EXPECT_EQ(c->errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network write error! 110.");
    EXPECT_GT(took, 1.5);
    EXPECT_LT(took, 10.0);
    close(client);
}

TEST(NetConnection, ABlockingWriteThatStaysBlockedGivesUpWithError3) {
    std::uint16_t port = 0;
    int listener = loopback::bound(port, true);
    ASSERT_GE(listener, 0);
    NetConnection c(InternetAddress(loopback::address, port));
    int peer = loopback::acceptOne(listener);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(waitFor([&] { return c.isReady(); }));
    LogCapture log;
    // The peer never reads. Should the write hang, closing the peer after
    // a while ends it, and the test fails on the time taken.
    std::promise<void> written;
    std::thread watchdog([&] {
        if (written.get_future().wait_for(std::chrono::seconds(12)) != std::future_status::ready)
            loopback::abort(peer);
    });
    const std::vector<unsigned char> sent = pattern(32 << 20);
    Clock::time_point start = Clock::now();
    c.output().write(sent.data(), unsigned(sent.size()));
    double took = secondsSince(start);
    written.set_value();
    watchdog.join();
    EXPECT_EQ(c.errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network write error! 110.");
    EXPECT_GT(took, 1.5);
    EXPECT_LT(took, 10.0);
    close(peer);
    close(listener);
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
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->isConnected());
    EXPECT_TRUE(c->isReady());
    Clock::time_point start = Clock::now();
    EXPECT_EQ(c->input().readByte(), -1);
    EXPECT_EQ(c->input().peekByte(), -1);
    EXPECT_LT(secondsSince(start), 0.5);
    EXPECT_TRUE(c->input().good());
    close(client);
}

TEST(Server, ClosingPeerGivesMinusOneError4AndTheLogLine) {
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    ASSERT_TRUE(loopback::sendAll(client, "x", 1));
    close(client);
    LogCapture log;
    Clock::time_point start = Clock::now();
    int first = -1;
    while (first < 0 && secondsSince(start) < 5)
        first = c->input().readByte();
    EXPECT_EQ(first, 'x');
    readUntilError(*c);
    EXPECT_EQ(c->errorState(), netPeerClosed);
    EXPECT_EQ(c->input().readByte(), -1);
    EXPECT_FALSE(c->input().good());
    EXPECT_FALSE(c->isConnected());
    EXPECT_EQ(log.text(), "network connection closed.");
}

TEST(Server, ResetByPeerIsAReadError) {
    Server server(0);
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    loopback::abort(client);
    LogCapture log;
    readUntilError(*c);
    EXPECT_EQ(c->errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network read error! 104.");
}

TEST(Server, LogNameNamesEachAcceptedConnection) {
    LogCapture log;
    Server server(0, "netplay");
    int client = loopback::connectTo(server.port());
    ASSERT_GE(client, 0);
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    std::string expected = "netplay: connection from 127.0.0.1:" + std::to_string(loopback::localPort(client)) + "\n";
    EXPECT_EQ(log.text(), expected);
    close(client);
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
