// The hosted world on loopback: what a join costs in time and bytes, how long
// an edit takes to reach another player, and what an idle and a walking
// player receive; each on the band's 20 x 20 and on a 300 x 300 island (the
// argument), whose players are sent only the pieces around them.
// The edit's delay holds the 17-tick action (425 ms) that the rules run
// before a placed block stands, which the placing player watches end on their
// own screen too; the counters "after_action_*" take it away and leave the
// server's tick and the wire. Last, what the server's saves cost on disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "game/world_db.h"
#include "game/world_file.h"
#include "game/world_store.h"
#include "protocol/codec.h"
#include "protocol/connection.h"
#include "rules/input.h"
#include "server/server.h"
#include "server/store.h"
#include "worldgen/world_kinds.h"

namespace {

using Clock = std::chrono::steady_clock;
const Ipv4Address kLoopback(127, 0, 0, 1);

// A server on a thread of its own in a scratch folder: over a flat band, or
// over the island of seed 1 and `size` columns a side, kept as world.bin.
struct Hosted {
    std::filesystem::path folder;
    std::unique_ptr<Server> server;
    std::thread thread;
    explicit Hosted(int size = kBandEdge) {
        char pattern[] = "/tmp/tessaria-bench-server-XXXXXX";
        folder = ::mkdtemp(pattern);
        if (size > kBandEdge) {
            generateIslandWorld(1, size);
            StoredWorld stored;
            takeStoredWorld(world, size, size, WorldKind::Island, PlayerRecord{}, stored);
            writeStoredWorld(folder.string(), stored, false);
        } else {
            WorldSnapshot band;
            for (int x = 0; x < kBandEdge; ++x)
                for (int y = 0; y < kBandEdge; ++y) band.at(x, y, 10) = Grass;
            band.playerX = band.playerY = 5;
            writeWorldFile((folder / "world.ini").string(), band, false);
        }
        std::ofstream(folder / "server.ini") << "connects_per_minute = 100000\n"
                                                "connections_per_address = 1000\n";
        ServerOptions options;
        options.worldFolder = folder.string();
        options.log = [](const std::string&) {};
        server = std::make_unique<Server>(options);
        server->start();
        thread = std::thread([this] { server->run(); });
    }
    ~Hosted() {
        server->requestStop();
        thread.join();
        server.reset();
        std::filesystem::remove_all(folder);
    }
};

// A headless player counting the bytes it is sent.
struct Peer {
    Connection link;
    std::vector<Message> received;
    std::size_t bytes = 0;
    Peer(std::uint16_t port, const std::string& name) : link(kLoopback, port) {
        link.send(Login{name, "", ""});
        link.client().poll(0);
    }
    void pump() {
        link.client().poll(0.001);
        while (auto m = link.receive()) {
            bytes += encodePacket(*m).size() + 1;  // and its sequence byte
            if (const auto* ping = std::get_if<Ping>(&*m)) link.send(Pong{ping->stamp});
            received.push_back(std::move(*m));
        }
        link.client().poll(0);
    }
    template <class Done>
    bool pumpUntil(Done done) {
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (!done() && Clock::now() < end) pump();
        return done();
    }
    template <class T>
    bool has() const {
        return std::any_of(received.begin(), received.end(),
                           [](const Message& m) { return std::holds_alternative<T>(m); });
    }
};

double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * (samples.size() - 1))];
}

// Connect to the pieces around the player and the list of players.
void BM_JoinOnLoopback(benchmark::State& state) {
    Hosted hosted(static_cast<int>(state.range(0)));
    int n = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        Peer peer(hosted.server->port(), "p" + std::to_string(n++));
        if (!peer.pumpUntil([&] { return peer.has<PlayerList>(); })) state.SkipWithError("no join");
        bytes = peer.bytes;
        state.PauseTiming();
        peer.link.leave(Reason::Leaving);
        peer.link.client().poll(0);
        state.ResumeTiming();
    }
    state.counters["join_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_JoinOnLoopback)->Unit(benchmark::kMillisecond)->Iterations(20)->Arg(20)->Arg(300);

struct Cell {
    int x = 0, y = 0, level = 0;
};

bool cellSeen(const Peer& peer, std::size_t from, std::uint8_t block, Cell at) {
    for (std::size_t i = from; i < peer.received.size(); ++i)
        if (const auto* u = std::get_if<Update>(&peer.received[i]))
            for (const CellChange& c : u->cells)
                if (c.x == at.x && c.y == at.y && c.level == at.level && c.block == block)
                    return true;
    return false;
}

// The cell a player's Use at the raised height acts on, as its Welcome put it.
Cell actionCell(const Peer& peer) {
    for (const Message& m : peer.received)
        if (const auto* w = std::get_if<Welcome>(&m)) {
            static constexpr int kAhead[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
            return Cell{w->self.x + kAhead[w->self.facing][0],
                        w->self.y + kAhead[w->self.facing][1], w->self.level - 1};
        }
    return Cell{};
}

// One player places a block and mines it again; the other, standing near,
// waits for each.
void BM_EditReachesTheOther(benchmark::State& state) {
    Hosted hosted(static_cast<int>(state.range(0)));
    Peer builder(hosted.server->port(), "builder"), watcher(hosted.server->port(), "watcher");
    builder.pumpUntil([&] { return builder.has<PlayerList>(); });
    watcher.pumpUntil([&] { return watcher.has<PlayerList>(); });
    const Cell cell = actionCell(builder);
    std::vector<double> delays;
    for (auto _ : state) {
        const std::size_t from = watcher.received.size();
        const auto sent = Clock::now();
        builder.link.send(Use{1, 2, 1});  // cobblestone: snow leaves it alone
        builder.link.client().poll(0);
        const bool seen = watcher.pumpUntil([&] {
            builder.pump();
            return cellSeen(watcher, from, Cobblestone, cell);
        });
        const auto arrived = Clock::now();
        if (!seen) state.SkipWithError("the placed block never arrived");
        delays.push_back(std::chrono::duration<double, std::milli>(arrived - sent).count());
        state.PauseTiming();
        // Strikes count over every action: mine one strike at a time until
        // the block goes, so the builder is free when the next place starts.
        const std::size_t mined = watcher.received.size();
        for (int strike = 0; strike < 3 && !cellSeen(watcher, mined, Empty, cell); ++strike) {
            builder.link.send(Use{0, 0, 1});
            builder.link.client().poll(0);
            const auto end = Clock::now() + std::chrono::milliseconds(600);
            while (Clock::now() < end && !cellSeen(watcher, mined, Empty, cell)) {
                builder.pump();
                watcher.pump();
            }
        }
        state.ResumeTiming();
    }
    state.counters["median_ms"] = percentile(delays, 0.5);
    state.counters["p99_ms"] = percentile(delays, 0.99);
    constexpr double kActionMs = kAnimTicks * 1000.0 / Server::kTicksPerSecond;
    state.counters["after_action_median_ms"] = percentile(delays, 0.5) - kActionMs;
    state.counters["after_action_p99_ms"] = percentile(delays, 0.99) - kActionMs;
}
BENCHMARK(BM_EditReachesTheOther)->Unit(benchmark::kMillisecond)->Iterations(40)->Arg(20)->Arg(300);

// Bytes a second that a player who does nothing receives, pings included.
void BM_IdlePlayerBytes(benchmark::State& state) {
    Hosted hosted(static_cast<int>(state.range(0)));
    Peer idle(hosted.server->port(), "idle");
    idle.pumpUntil([&] { return idle.has<PlayerList>(); });
    double perSecond = 0;
    for (auto _ : state) {
        const std::size_t before = idle.bytes;
        const auto end = Clock::now() + std::chrono::seconds(12);
        while (Clock::now() < end) idle.pump();
        perSecond = static_cast<double>(idle.bytes - before) / 12.0;
    }
    state.counters["bytes_per_second"] = perSecond;
}
BENCHMARK(BM_IdlePlayerBytes)->Unit(benchmark::kSecond)->Iterations(1)->Arg(20)->Arg(300);

// Bytes a second that a player walking without a pause receives, and what a
// player watching them receives. On the band it walks four steps one way
// and four back; on a larger world straight on, into new pieces all the way.
void BM_WalkingPlayerBytes(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    Hosted hosted(size);
    Peer walker(hosted.server->port(), "walker"), watcher(hosted.server->port(), "watcher");
    walker.pumpUntil([&] { return walker.has<PlayerList>(); });
    watcher.pumpUntil([&] { return watcher.has<PlayerList>(); });
    constexpr auto kStep =
        std::chrono::milliseconds(kAnimTicks * 1000 / Server::kTicksPerSecond + 5);
    double walkerPerSecond = 0, watcherPerSecond = 0;
    for (auto _ : state) {
        const std::size_t walkerBefore = walker.bytes, watcherBefore = watcher.bytes;
        const auto start = Clock::now();
        const auto end = start + std::chrono::seconds(12);
        auto nextStep = start;
        int steps = 0;
        while (Clock::now() < end) {
            if (Clock::now() >= nextStep) {
                // Four steps one way, four back: in bounds on any ground.
                const Facing facing =
                    size > kBandEdge || (steps / 4) % 2 == 0 ? Facing::Down : Facing::Up;
                walker.link.send(Step{static_cast<std::uint8_t>(facing)});
                ++steps;
                nextStep += kStep;
            }
            walker.pump();
            watcher.pump();
        }
        walkerPerSecond = static_cast<double>(walker.bytes - walkerBefore) / 12.0;
        watcherPerSecond = static_cast<double>(watcher.bytes - watcherBefore) / 12.0;
    }
    state.counters["walker_bytes_per_second"] = walkerPerSecond;
    state.counters["watcher_bytes_per_second"] = watcherPerSecond;
}
BENCHMARK(BM_WalkingPlayerBytes)->Unit(benchmark::kSecond)->Iterations(1)->Arg(20)->Arg(300);

}  // namespace

// The server's save of one changed piece of the 300 x 300 island, synced,
// as its saving thread runs it; and a restore point of the whole world.
struct StoredIsland {
    std::filesystem::path folder;
    server::Peers peers;
    server::Store store{[](const std::string&) {}, peers};
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    explicit StoredIsland(int size) {
        char pattern[] = "/tmp/tessaria-bench-store-XXXXXX";
        folder = ::mkdtemp(pattern);
        generateIslandWorld(*grid, 1, size);
        WorldDbMeta meta;
        meta.columns = meta.rows = size;
        store.setFolder(folder.string());
        store.create(*grid, meta, PlayerRecord{});
    }
    ~StoredIsland() {
        store.close();
        std::filesystem::remove_all(folder);
    }
};

void BM_ServerSaveOfOnePiece(benchmark::State& state) {
    StoredIsland island(static_cast<int>(state.range(0)));
    DbPiece piece;
    takePiece(*island.grid, 7, 7, island.grid->maxX + 1, island.grid->maxY + 1, piece);
    island.store.setSource(server::WorldSource{
        [&](std::vector<DbPiece>& pieces, bool) { pieces.push_back(piece); }, {}, {}});
    for (auto _ : state) island.store.saveNow();
}
BENCHMARK(BM_ServerSaveOfOnePiece)->Unit(benchmark::kMillisecond)->Iterations(40)->Arg(300);

void BM_ServerRestorePoint(benchmark::State& state) {
    StoredIsland island(static_cast<int>(state.range(0)));
    for (auto _ : state) island.store.restorePointAtStart();
}
BENCHMARK(BM_ServerRestorePoint)->Unit(benchmark::kMillisecond)->Iterations(10)->Arg(300);

BENCHMARK_MAIN();
