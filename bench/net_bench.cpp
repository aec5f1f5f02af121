// Loopback throughput of one connection, and what one poll of the game's
// server loop costs with 500 idle connections.
#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "base/Server.h"

using namespace orvel;

namespace {

counted_ptr<NetConnection> acceptFrom(Server& server) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server.hasConnection() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    return server.nextConnection();
}

void throughput(benchmark::State& state) {
    Server server(0);
    NetConnection client(InternetAddress(0x7F000001, server.port()));
    counted_ptr<NetConnection> accepted = acceptFrom(server);
    if (!accepted) {
        state.SkipWithError("no connection");
        return;
    }
    accepted->setBlocking(true);
    // The reader takes blocks as fast as they come until the writer closes.
    std::thread reader([&] {
        std::vector<unsigned char> block(256 * 1024);
        while (accepted->input().read(block.data(), unsigned(block.size())) > 0) {
        }
    });
    const unsigned blockSize = unsigned(state.range(0));
    std::vector<unsigned char> block(blockSize, 0x5A);
    for (auto _ : state)
        client.output().write(block.data(), blockSize);
    client.close();
    reader.join();
    if (!client.output().good())
        state.SkipWithError("write failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * blockSize);
}
BENCHMARK(throughput)->Arg(4096)->Arg(64 * 1024)->Arg(1 << 20)->UseRealTime();

void pollIdleConnections(benchmark::State& state) {
    const int count = int(state.range(0));
    rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < rlim_t(2 * count + 64)) {
        files.rlim_cur = files.rlim_max < rlim_t(2 * count + 64) ? files.rlim_max : rlim_t(2 * count + 64);
        setrlimit(RLIMIT_NOFILE, &files);
    }
    Server server(0);
    std::vector<std::unique_ptr<NetConnection>> clients;
    std::vector<counted_ptr<NetConnection>> connections;
    for (int i = 0; i < count; ++i) {
        clients.emplace_back(new NetConnection(InternetAddress(0x7F000001, server.port())));
        counted_ptr<NetConnection> c = acceptFrom(server);
        if (!c) {
            state.SkipWithError("could not accept every client");
            return;
        }
        connections.push_back(c);
    }
    unsigned char block[4096];
    // One tick of the game's loop: look for a new client, then read what
    // every connection has.
    for (auto _ : state) {
        benchmark::DoNotOptimize(server.hasConnection());
        for (counted_ptr<NetConnection>& c : connections)
            benchmark::DoNotOptimize(c->input().read(block, sizeof block));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count);
    // Each close waits for its peer to close too: the two sides close in
    // step from two threads.
    std::thread clientSide([&] {
        for (auto& c : clients)
            c->close();
    });
    for (counted_ptr<NetConnection>& c : connections)
        c->close();
    clientSide.join();
}
BENCHMARK(pollIdleConnections)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
