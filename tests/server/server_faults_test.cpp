// The real tessaria-server under faults: a disk that refuses its writes, a
// SIGKILL while players build, and players that vanish without a goodbye.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <sstream>

#include "rules/player_state.h"
#include "server_process.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;

// How the server tells a run of failed saves begin.
constexpr char kFailed[] = "(the server goes on and tries again)";

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::uint8_t idOf(Player& p) {
    p.receives<Welcome>([](const Welcome&) { return true; });
    const Welcome* welcome = p.find<Welcome>([](const Welcome&) { return true; });
    return welcome ? welcome->self.id : 255;
}

// Keeps every player answering for a while (pacing, not a measurement).
void pumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        Player::pumpAll();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Lets the server's saves run into a file size limit (soft, so it can be
// raised again), as a full disk would refuse them.
bool limitFileSize(pid_t pid, rlim_t bytes) {
    rlimit limit{};
    if (prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0) return false;
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    return prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

}  // namespace

TEST(ServerFaults, AFullDiskIsToldOnceTheServerGoesOnAndSavesAgainWhenItCan) {
    TempWorld folder;
    const fs::path world = folder.world();
    const std::string before = readText(world / "world.ini");
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice");
    ASSERT_NE(idOf(alice), 255) << server.log();

    ASSERT_TRUE(limitFileSize(server.pid(), 16));
    alice.send(Use{1, 2, 1});  // cobblestone at (5, 6, 9)
    ASSERT_TRUE(server.sawLine(kFailed)) << server.log();
    // A player's record is refused too while the limit holds; it is the same
    // run of failures, and so are the autosave's retries every few seconds.
    {
        Player bob(server.port(), "bob");
        ASSERT_NE(idOf(bob), 255);
        bob.link().leave(Reason::Leaving);
        bob.link().client().poll(0);
        ASSERT_TRUE(server.sawLine("bob left"));
    }
    pumpFor(std::chrono::seconds(7));  // two retries at least
    EXPECT_EQ(count(server.log(), kFailed), 1) << server.log();
    EXPECT_EQ(readText(world / "world.ini"), before);
    std::map<std::string, std::string> records;
    ASSERT_TRUE(readServerWorld(world.string(), &records));
    EXPECT_EQ(records.count("bob"), 0u);

    // Still serving: a chat line goes round, and `stats` answers.
    alice.send(Say{"still here"});
    EXPECT_TRUE(server.sawLine("<alice> still here"));
    server.console("stats");
    ASSERT_TRUE(server.sawLine("stats: "));
    EXPECT_TRUE(std::regex_search(server.log(),
                                  std::regex("\nstats: ticks [0-9]+, tick p50 [0-9]+\\.[0-9]{2} "
                                             "ms, p99 [0-9]+\\.[0-9]{2} ms, players 1\n")))
        << server.log();

    ASSERT_TRUE(limitFileSize(server.pid(), RLIM_INFINITY));
    ASSERT_TRUE(server.sawLine("saving works again after ")) << server.log();
    std::smatch attempts;
    const std::string log = server.log();
    ASSERT_TRUE(std::regex_search(log, attempts, std::regex("again after ([0-9]+) failed")));
    EXPECT_GE(std::stoi(attempts[1]), 3) << log;  // the first, bob's record, a retry
    EXPECT_EQ(cellOf(*readServerWorld(world.string(), &records), 5, 6, 9), Cobblestone);
    EXPECT_EQ(records.count("bob"), 1u);
    EXPECT_EQ(count(server.log(), kFailed), 1) << server.log();
}

// Each kill must leave the last autosave whole, and a new server serves it. A
// soak can ask for more kills (TESSARIA_SOAK_ROUNDS), each on what the one
// before left.
TEST(ServerFaults, ASigkillWhilePlayersBuildLeavesAWholeWorldThatServesAgain) {
    TempWorld folder;
    const fs::path world = folder.world();
    const char* soak = std::getenv("TESSARIA_SOAK_ROUNDS");
    const int kills = soak ? std::max(1, std::atoi(soak)) : 1;
    for (int killed = 0; killed < kills && !HasFailure(); ++killed) {
        SCOPED_TRACE("kill " + std::to_string(killed + 1));
        {
            ServerProcess server(folder.world());
            ASSERT_NE(server.port(), 0) << server.log();
            // New names each round: a name's key stays with the round that claimed it.
            const std::string round = std::to_string(killed);
            Player alice(server.port(), "alice" + round), bob(server.port(), "bob" + round),
                carol(server.port(), "carol" + round);
            for (Player* p : {&alice, &bob, &carol}) ASSERT_NE(idOf(*p), 255) << server.log();
            alice.send(Use{1, 2, 1});  // cobblestone at (5, 6, 9), kept from here on
            bob.send(Turn{static_cast<std::uint8_t>(Facing::Left)});
            carol.send(Turn{static_cast<std::uint8_t>(Facing::Right)});
            ASSERT_TRUE(pumpUntil(
                [&] {
                    const auto grid = readServerWorld(world.string());
                    return grid && cellOf(*grid, 5, 6, 9) == Cobblestone;
                },
                [] { Player::pumpAll(); }))
                << server.log();
            // Bob and carol place and mine beside the start column until a
            // moment picked at random, as likely as not to meet a save on its way.
            std::random_device seed;
            const int rounds = 20 + static_cast<int>(seed() % 30);
            for (int round = 0; round < rounds; ++round) {
                const std::uint8_t placing = round % 2 == 0 ? 1 : 0;
                bob.send(Use{placing, 2, 1});
                carol.send(Use{placing, 2, 1});
                pumpFor(std::chrono::milliseconds(150));
            }
            EXPECT_EQ(server.stop(SIGKILL), 128 + SIGKILL);
        }

        const auto grid = readServerWorld(world.string());
        ASSERT_TRUE(grid);
        int grass = 0;
        for (int x = 0; x < kBandEdge; ++x)
            for (int y = 0; y < kBandEdge; ++y)
                grass += cellOf(*grid, x, y, 10) == Grass || cellOf(*grid, x, y, 10) == SnowCovered;
        // The ground, snow-covered or not: no part of the file is missing.
        EXPECT_EQ(grass, kBandEdge * kBandEdge);
        EXPECT_EQ(cellOf(*grid, 5, 6, 9), Cobblestone);

        ServerProcess again(folder.world());
        ASSERT_NE(again.port(), 0) << again.log();
        Player dave(again.port(), "dave" + std::to_string(killed));
        ASSERT_TRUE(dave.receives<Piece>([](const Piece&) { return true; })) << again.log();
        const Piece& piece = *dave.find<Piece>([](const Piece&) { return true; });
        for (const auto& [x, y] : {std::pair{5, 6}, {4, 5}, {6, 5}})
            EXPECT_EQ(piece.cells[pieceIndex(x, y, 9)], cellOf(*grid, x, y, 9)) << x << "," << y;
    }
}

TEST(ServerFaults, PlayersThatVanishLeaveNoFigureBehind) {
    TempWorld folder;
    std::ofstream(folder.world() + "/server.ini") << "silence_seconds = 3\n";
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice");
    ASSERT_NE(idOf(alice), 255) << server.log();

    // A player whose process is killed: its socket closes with it.
    const pid_t zed = fork();
    if (zed == 0) {
        Connection link(Ipv4Address(127, 0, 0, 1), server.port());
        link.send(Login{"zed", "", ""});
        while (link.isOpen()) {
            link.client().poll(50);
            while (auto message = link.receive())
                if (const auto* ping = std::get_if<Ping>(&*message)) link.send(Pong{ping->stamp});
        }
        _exit(0);
    }
    ASSERT_GT(zed, 0);
    struct Reaper {
        pid_t pid;
        ~Reaper() {
            if (kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        }
    } reaper{zed};
    ASSERT_TRUE(alice.receives<PlayerJoined>([](const PlayerJoined& j) {
        return j.player.name == "zed";
    })) << server.log();
    const std::uint8_t zedId =
        alice.find<PlayerJoined>([](const PlayerJoined& j) { return j.player.name == "zed"; })
            ->player.id;
    kill(zed, SIGKILL);
    EXPECT_TRUE(alice.receives<PlayerLeft>([&](const PlayerLeft& l) { return l.id == zedId; }));
    EXPECT_TRUE(server.sawLine("zed left: ")) << server.log();
    alice.received.clear();  // the next player may get zed's number

    // A player that goes quiet with its socket open: dropped after the silence.
    Connection quiet(Ipv4Address(127, 0, 0, 1), server.port());
    quiet.send(Login{"yan", "", ""});
    bool welcomed = false;
    ASSERT_TRUE(pumpUntil([&] { return welcomed; },
                          [&] {
                              Player::pumpAll();
                              quiet.client().poll(0);
                              while (auto message = quiet.receive())
                                  welcomed = welcomed || std::holds_alternative<Welcome>(*message);
                          }));
    ASSERT_TRUE(
        alice.receives<PlayerJoined>([](const PlayerJoined& j) { return j.player.name == "yan"; }));
    const std::uint8_t yanId =
        alice.find<PlayerJoined>([](const PlayerJoined& j) { return j.player.name == "yan"; })
            ->player.id;
    EXPECT_TRUE(alice.receives<PlayerLeft>([&](const PlayerLeft& l) { return l.id == yanId; }));
    EXPECT_TRUE(server.sawLine("yan left: timed out")) << server.log();
    // Alice only answered pings all along, and stays.
    server.console("list");
    EXPECT_TRUE(server.sawLine("1 of 16 players; alice ")) << server.log();
}
