// Addresses, connections and the polled server, against plain sockets of
// the test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#include "base/FilePath.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/NetConnection.h"
#include "base/Server.h"
#include "base/StreamReader.h"
#include "tests/base/LoopbackPeer.h"
#include "tests/base/Waiting.h"
#include "tests/support/HangWatch.h"
#include "tests/support/LogCapture.h"

using namespace orvel;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

namespace {

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

// Our connection to a listening socket of the test's; peer is the test's
// end once accepted.
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

Bytes pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = (unsigned char)(i * 7 + i / 251);
    return bytes;
}

// Reads from a non-blocking connection until its error is set; the log.
std::string readUntilError(NetConnection& c) {
    LogCapture log;
    for (Clock::time_point start = Clock::now(); c.errorState() == netNoError && secondsSince(start) < 30;)
        if (c.input().readByte() < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(c.input().readByte(), -1);
    EXPECT_FALSE(c.input().good());
    return log.text();
}

// Writes more than the socket buffers hold to a peer that never reads: after
// 2 s without progress the write gives up. Should it hang, the peer is reset
// after a minute and the test fails.
void expectWriteGivesUp(NetConnection& c, int& peer, size_t size) {
    LogCapture log;
    std::promise<void> written;
    std::atomic<bool> reset{false};
    std::thread watchdog([&] {
        if (written.get_future().wait_for(std::chrono::seconds(60)) != std::future_status::ready)
            reset = true, loopback::abort(std::exchange(peer, -1));
    });
    const Bytes sent = pattern(size);
    Clock::time_point start = Clock::now();
    c.output().write(sent.data(), unsigned(sent.size()));
    double took = secondsSince(start);
    written.set_value();
    watchdog.join();
    EXPECT_FALSE(reset) << "the write hung until the peer was reset";
    EXPECT_EQ(c.errorState(), netIoFailed);
    EXPECT_EQ(log.text(), "network write error! 110.");
    EXPECT_GT(took, 1.5);
}

}  // namespace

TEST(InternetAddress, ReadsDottedTextWithAnOptionalPort) {
    const struct {
        const char* text;
        std::uint32_t address;
        unsigned port;
    } rows[] = {
        {"192.168.0.7:45321", 0xC0A80007, 45321}, {" 10\t.0. 0 .1 : 80", 0x0A000001, 80},  // blanks around separators
        {"1.2.3.4:", 0x01020304, 0},             {"1.2.3.4:5:6", 0x01020304, 5},         // what follows is ignored
        {"localhost", 0x7F000001, 0},            {"1.2.3", 0, 0},                         // a name is resolved
        {"", 0, 0},                              {"1.2.3.", 0, 0},
        {"300.1.1.1", 0, 0},                     {"1.2.3.256", 0, 0},
        {"1.2.3.4:65535", 0x01020304, 65535},    {"1.2.3.4:65536", 0, 0},
        {"99999999999999999999.1.1.1", 0, 0},    {":80", 0, 0},
        {nullptr, 0, 0},
    };
    for (const auto& row : rows) {
        InternetAddress a(row.text);
        EXPECT_EQ(a.address(), row.address) << (row.text ? row.text : "(null)");
        EXPECT_EQ(a.port(), row.port) << (row.text ? row.text : "(null)");
    }
    InternetAddress a(0x01020304, 99);
    a.resolve("127.0.0.2");
    EXPECT_EQ(a, InternetAddress(0x7F000002, 99));
    a.resolve("");
    EXPECT_EQ(a, InternetAddress());
    std::vector<InternetAddress> all = InternetAddress::resolveAll("localhost");
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), InternetAddress(0x7F000001, 0));
    EXPECT_TRUE(InternetAddress::resolveAll("").empty());
    const orvel_string& host = orvel::localHostName();
    EXPECT_FALSE(host.empty());
    EXPECT_EQ(std::string(host.c_str()).find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
}

TEST(InternetAddress, TextsAndStreamForm) {
    InternetAddress a("192.168.0.7:45321");
    EXPECT_STREQ(a.toString(false).c_str(), "192.168.0.7");
    EXPECT_STREQ(InternetAddress(0xFFFFFFFF, 0).toString(true).c_str(), "255.255.255.255:0");
    MemoryDataDest out;
    out << a;  // the port, then the address
    EXPECT_EQ(Bytes(out.data(), out.data() + out.size()), Bytes({0x09, 0xB1, 0, 0, 0x07, 0x00, 0xA8, 0xC0}));
    for (unsigned size : {8u, 6u}) {
        MemoryDataSource in(out.data(), size, false);
        InternetAddress back(0x01020304, 7);
        in >> back;
        EXPECT_EQ(back, size == 8 ? a : InternetAddress(0x01020304, 7));  // a short stream changes nothing
    }
}

// A refused connection is found by polling, as the game's loop does, or by
// the streams, which then return at once and log nothing.
TEST(NetConnection, ARefusedConnectEndsWithError2AtOnce) {
    std::uint16_t port = 0;
    int reserved = loopback::bound(port, false);
    ASSERT_GE(reserved, 0);
    NetConnection polled(InternetAddress(loopback::address, port));
    EXPECT_TRUE(waitFor([&] { return polled.isReady(), polled.errorState() == netRefused; }));
    EXPECT_FALSE(polled.isConnected());

    LogCapture log;
    NetConnection c(InternetAddress(loopback::address, port));
    {
        HangWatch watch("the streams of a refused connection", 30);
        unsigned char buffer[16];
        EXPECT_EQ(c.input().readByte(), -1);
        EXPECT_EQ(c.input().read(buffer, sizeof buffer), 0u);
        c.output().writeUInt32(5);
    }
    EXPECT_EQ(c.errorState(), netRefused);
    EXPECT_FALSE(c.output().good());
    EXPECT_EQ(log.text(), "");
    close(reserved);

    NetConnection none{InternetAddress()};
    EXPECT_FALSE(none.isConnected());
    EXPECT_TRUE(none.isReady());
    EXPECT_EQ(none.input().readByte(), -1);
}

TEST(NetConnection, BytesArriveExactlyAndABlockingReadWaitsForThem) {
    Dialled d;
    ASSERT_TRUE(d.accept());
    d.c.output().writeInt32(0x01020304).writeCompact(70000).writeString("ab");
    Bytes got(12);
    ASSERT_TRUE(loopback::readExactly(d.peer, got.data(), got.size()));
    EXPECT_EQ(got, Bytes({4, 3, 2, 1, 0xFF, 0x70, 0x11, 0x01, 0x00, 2, 'a', 'b'}));
    EXPECT_TRUE(d.c.isConnected() && d.c.isReady());
    EXPECT_TRUE(d.c.setNoDelay(true));
    std::thread peer([&] {
        const char reply[] = {0x2A, 0, 0, 0, 3, 'x', 'y', 'z', 0x7F};
        for (size_t at = 0; at < sizeof reply; at += 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            loopback::sendAll(d.peer, reply + at, std::min<size_t>(2, sizeof reply - at));
        }
    });
    EXPECT_EQ(d.c.input().readInt32(), 42);
    orvel_string text;
    d.c.input() >> text;
    EXPECT_STREQ(text.c_str(), "xyz");
    EXPECT_EQ(d.c.input().peekByte(), 0x7F);
    EXPECT_EQ(d.c.input().readByte(), 0x7F);
    EXPECT_EQ(d.c.errorState(), netNoError);
    peer.join();
    d.c.close();
    EXPECT_FALSE(d.c.setNoDelay(true));
}

TEST(NetConnection, NonBlockingReadsTakeWhatIsThere) {
    Dialled d;
    d.c.setBlocking(false);
    ASSERT_TRUE(d.accept());
    ASSERT_TRUE(waitFor([&] { return d.c.isReady(); }));
    unsigned char buffer[8];
    EXPECT_EQ(d.c.input().read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(d.c.input().peekByte(), -1);
    EXPECT_TRUE(d.c.input().good());
    ASSERT_TRUE(loopback::sendAll(d.peer, "\1\2\3", 3));
    unsigned got = 0;
    for (Clock::time_point start = Clock::now(); got < 3 && secondsSince(start) < 30;)
        got += d.c.input().read(buffer + got, sizeof buffer - got);
    EXPECT_EQ(Bytes(buffer, buffer + got), Bytes({1, 2, 3}));
}

// Close ends our sending and waits for the peer to close, at most a second:
// it returns once the peer has closed, or once its second is up.
TEST(NetConnection, CloseWaitsForThePeerBriefly) {
    for (bool peerCloses : {true, false}) {
        Dialled d;
        d.c.output().writeByte(9);
        ASSERT_TRUE(d.accept());
        std::atomic<bool> closed{false};
        std::thread peer([&] {
            unsigned char b[2];
            EXPECT_TRUE(loopback::readExactly(d.peer, b, 1));
            EXPECT_FALSE(loopback::readExactly(d.peer, b + 1, 1, peerCloses ? 5000 : 2000));
            if (peerCloses)
                loopback::sendAll(d.peer, "bye", 3), closed = true, closeNow(d.peer);
        });
        Clock::time_point start = Clock::now();
        {
            HangWatch watch("close, waiting for a peer that never closed,", 30);
            d.c.close();
        }
        const double took = secondsSince(start);
        EXPECT_TRUE(closed || took > 0.9) << took;
        EXPECT_FALSE(d.c.isConnected());
        EXPECT_EQ(d.c.input().readByte(), -1);
        peer.join();
    }
}

TEST(NetConnection, WritingToAClosedPeerSetsError3WithoutSigpipe) {
    Accepted a;
    ASSERT_TRUE(a.c);
    closeNow(a.client);
    LogCapture log;
    const Bytes block = pattern(4096);
    for (Clock::time_point start = Clock::now(); a.c->errorState() == netNoError && secondsSince(start) < 30;) {
        a.c->output().write(block.data(), unsigned(block.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(a.c->errorState(), netIoFailed);
    EXPECT_FALSE(a.c->output().good());
    EXPECT_TRUE(log.text() == "network write error! 32." || log.text() == "network write error! 104.") << log.text();
}

// A write that would block waits for room while the reader makes progress,
// and gives up with error 3 after 2 s without any, blocking or not.
TEST(NetConnection, AWriteWaitsForASlowReaderButNotForEver) {
    Accepted a;
    ASSERT_TRUE(a.c);
    const Bytes sent = pattern(24 << 20);
    Bytes received(sent.size());
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(loopback::readExactly(a.client, received.data(), received.size()));
    });
    a.c->output().write(sent.data(), unsigned(sent.size()));
    EXPECT_TRUE(a.c->output().good());
    reader.join();
    EXPECT_TRUE(received == sent);
    expectWriteGivesUp(*a.c, a.client, 128 << 20);

    Dialled d;
    ASSERT_TRUE(d.accept());
    ASSERT_TRUE(waitFor([&] { return d.c.isReady(); }));
    expectWriteGivesUp(d.c, d.peer, 32 << 20);
}

TEST(Server, ListensAcceptsOnceAndNeverBlocksTheLoop) {
    Server server(0);
    EXPECT_EQ(server.state(), Server::listening);
    EXPECT_FALSE(server.hasConnection());
    EXPECT_FALSE(server.nextConnection());
    int first = loopback::connectTo(server.port()), second = loopback::connectTo(server.port());
    ASSERT_TRUE(waitFor([&] { return server.hasConnection(); }));
    EXPECT_TRUE(server.hasConnection());
    // Had a second call accepted again, the first client's connection would
    // have been replaced and lost.
    counted_ptr<NetConnection> a = server.nextConnection(), b = acceptFrom(server);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->address(), InternetAddress(loopback::address, loopback::localPort(first)));
    EXPECT_EQ(b->address(), InternetAddress(loopback::address, loopback::localPort(second)));
    EXPECT_FALSE(server.hasConnection());
    const long blocked = timesBlocked();
    EXPECT_EQ(a->input().readByte(), -1);
    EXPECT_EQ(a->input().peekByte(), -1);
    EXPECT_EQ(timesBlocked(), blocked) << "a read with nothing there waited";
    EXPECT_TRUE(a->input().good());
    close(first);
    close(second);

    std::uint16_t port = 0;
    int other = loopback::bound(port, true, true);
    Server taken(port);
    EXPECT_EQ(taken.state(), Server::bindFailed);
    EXPECT_EQ(taken.port(), 0);
    int client = loopback::connectTo(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(taken.hasConnection());
    EXPECT_FALSE(taken.nextConnection());
    close(client);
    close(other);
}

TEST(Server, APeerThatClosesOrResetsEndsTheConnection) {
    Accepted closing;
    ASSERT_TRUE(closing.c);
    ASSERT_TRUE(loopback::sendAll(closing.client, "x", 1));
    closeNow(closing.client);
    int first = -1;
    waitFor([&] { return (first = closing.c->input().readByte()) >= 0; });
    EXPECT_EQ(first, 'x');
    EXPECT_EQ(readUntilError(*closing.c), "network connection closed.");
    EXPECT_EQ(closing.c->errorState(), netPeerClosed);
    EXPECT_FALSE(closing.c->isConnected());

    Accepted reset;
    ASSERT_TRUE(reset.c);
    loopback::abort(std::exchange(reset.client, -1));
    EXPECT_EQ(readUntilError(*reset.c), "network read error! 104.");
    EXPECT_EQ(reset.c->errorState(), netIoFailed);
}

TEST(Server, ALogNameNamesEachConnectionAndOurClientTalksToIt) {
    LogCapture log;
    Accepted a("netplay");
    ASSERT_TRUE(a.c);
    EXPECT_EQ(log.text(), "netplay: connection from 127.0.0.1:" + std::to_string(loopback::localPort(a.client)) + "\n");

    Server server(0);
    std::string text = "127.0.0.1:" + std::to_string(server.port());
    NetConnection client{InternetAddress(text.c_str())};
    counted_ptr<NetConnection> c = acceptFrom(server);
    ASSERT_TRUE(c);
    client.output().writeString("hello");
    c->output().writeUInt32(0xCAFEF00D);
    EXPECT_EQ(client.input().readUInt32(), 0xCAFEF00Du);
    Bytes got;
    unsigned char block[64];
    for (Clock::time_point start = Clock::now(); got.size() < 6 && secondsSince(start) < 30;)
        got.insert(got.end(), block, block + c->input().read(block, sizeof block));
    EXPECT_EQ(got, Bytes({5, 'h', 'e', 'l', 'l', 'o'}));
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
        for (got = read(); in.waiting() && in.good() && secondsSince(start) < 30; got = read()) {
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

// An address, a path and a list of references arrive in two pieces each
// (4 + 4 bytes; the text cut in half; the list after its first id) on an
// accepted connection, which never waits. A read made between the pieces
// takes nothing and leaves its target alone, however often it is made, and
// the same read gets the whole value once the rest has come.
TEST(NetConnection, ValuesOfSeveralReadsAreTakenWholeOrNotAtAll) {
    Accepted a;
    ASSERT_TRUE(a.c);
    DataSource& in = a.c->input();
    const InternetAddress address(0xC0A80007, 45321);
    const FilePath path("C:/Data/Models/Tree.TAVIK");
    MemoryDataDest out;
    out << address << path;
    InternetAddress gotAddress(0x01020304, 7);
    FilePath gotPath("kept");
    auto send = [&](size_t from, size_t to) { return loopback::sendAll(a.client, out.data() + from, to - from); };
    // Reads the first piece of a value until it has come, then again: each
    // time the read waits and the value is as it was.
    auto readFirstPiece = [&](const std::function<std::string()>& read) {
        EXPECT_TRUE(waitFor([&] { return in.peekByte() >= 0; })) << "the piece came";
        std::string seen;
        for (int again = 0; again < 3; ++again) {
            seen += read();
            EXPECT_TRUE(in.waiting() && in.good());
        }
        return seen;
    };

    ASSERT_TRUE(send(0, 4));
    EXPECT_EQ(readFirstPiece([&] {
                  in >> gotAddress;
                  return std::string(gotAddress.toString(true).c_str());
              }),
              "1.2.3.4:71.2.3.4:71.2.3.4:7");
    ASSERT_TRUE(send(4, 8));
    EXPECT_TRUE(waitFor([&] { return in >> gotAddress, !in.waiting(); }));
    EXPECT_EQ(gotAddress, address);

    const size_t half = 8 + (out.size() - 8) / 2;
    ASSERT_TRUE(send(8, half));
    EXPECT_EQ(readFirstPiece([&] {
                  in >> gotPath;
                  return std::string(gotPath.c_str());
              }), "keptkeptkept");
    ASSERT_TRUE(send(half, out.size()));
    EXPECT_TRUE(waitFor([&] { return in >> gotPath, !in.waiting(); }));
    EXPECT_EQ(gotPath, path);

    // A list of references, cut after its first id, to a stream reader.
    struct Listed : Streamable {
        void read(DataSource&) override {}
        const char* typeName() const override { return "zanthorium::test::Listed"; }
        void write(DataDest&) override {}
    };
    StreamReader::addFactory(in, [] { return static_cast<Streamable*>(new Listed); });
    out.writeCompact(2).writeUInt32(0x10).writeUInt32(0x20);
    std::vector<Listed*> list(3);
    ASSERT_TRUE(send(out.size() - 9, out.size() - 4));
    EXPECT_EQ(readFirstPiece([&] {
                  in >> list;
                  return std::to_string(list.size());
              }),
              "333");
    ASSERT_TRUE(send(out.size() - 4, out.size()));
    EXPECT_TRUE(waitFor([&] { return in >> list, !in.waiting(); }));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(in.fail());
}

// Clients send framed streams in pieces while the game's loop accepts what
// waits and reads whatever each connection has, never waiting on any: each
// stream arrives whole, and clients that vanish mid-frame, closing or
// resetting, disturb nothing.
TEST(ServerLoad, ManyClientsPolledFromOneThread) {
    constexpr size_t good = 20, vanishing = 4, count = good + vanishing;
    Server server(0);
    std::vector<Bytes> streams(count);
    std::vector<size_t> stopAt(count);
    for (unsigned id = 0; id < count; ++id) {
        // A hello frame with the client's number, then frames of varied
        // lengths, some past 254 so both count forms occur: a letter, a
        // compact length, the payload.
        MemoryDataDest out;
        out.writeByte('H').writeCompact(4).writeUInt32(id);
        for (unsigned seq = 0; out.size() < 64 * 1024; ++seq) {
            unsigned length = (id * 131 + seq * 97) % 700 + 1;
            out.writeByte('M').writeCompact(length);
            for (unsigned i = 0; i < length; ++i)
                out.writeByte(char(id * 31 + seq * 7 + i));
        }
        streams[id] = Bytes(out.data(), out.data() + out.size());
        stopAt[id] = id < good ? streams[id].size() : 10000 + id * 37 % 40000;
    }
    std::thread clients([&] {
        std::vector<int> fds(count);
        for (size_t i = 0; i < count; ++i)
            fds[i] = loopback::connectTo(server.port());
        // Pieces of varied sizes, so frames are split across many reads.
        for (size_t sent = 0, piece = 1500; fds != std::vector<int>(count, -1); sent += piece, piece = 1500 + sent % 3000) {
            for (size_t i = 0; i < count; ++i) {
                if (fds[i] < 0)
                    continue;
                loopback::sendAll(fds[i], streams[i].data() + sent, std::min(piece, stopAt[i] - sent));
                if (sent + piece < stopAt[i])
                    continue;
                if (i < good || i % 2)
                    close(std::exchange(fds[i], -1));
                else
                    loopback::abort(std::exchange(fds[i], -1));
            }
        }
    });
    std::vector<std::pair<counted_ptr<NetConnection>, Bytes>> received;
    unsigned char block[16384];
    auto open = [&] {
        return received.size() < count ||
               std::any_of(received.begin(), received.end(), [](auto& r) { return r.first->isConnected(); });
    };
    for (Clock::time_point start = Clock::now(); open() && secondsSince(start) < 120;) {
        while (server.hasConnection())
            received.push_back({server.nextConnection(), {}});
        for (auto& [connection, bytes] : received) {
            while (unsigned n = connection->input().read(block, sizeof block))
                bytes.insert(bytes.end(), block, block + n);
            if (connection->errorState() != netNoError)
                connection->close();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_FALSE(open()) << "the streams never ended";
    clients.join();
    std::vector<bool> seen(count);
    for (const auto& [connection, bytes] : received) {
        ASSERT_GE(bytes.size(), 6u);
        unsigned id = bytes[2] | bytes[3] << 8 | bytes[4] << 16 | unsigned(bytes[5]) << 24;
        ASSERT_LT(id, count);
        ASSERT_FALSE(seen[id]);
        seen[id] = true;
        // What arrived of a vanished client is the start of its stream, all
        // of it when the client closed in order.
        const Bytes& sent = streams[id];
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), sent.begin(), sent.begin() + long(std::min(bytes.size(), sent.size())))) << id;
        if (id < good || id % 2) {
            EXPECT_EQ(bytes.size(), stopAt[id]) << id;
            EXPECT_EQ(connection->errorState(), netPeerClosed) << id;
        }
    }
}
