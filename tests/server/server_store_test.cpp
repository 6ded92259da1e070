// The real tessaria-server's database: killed while players build, no block
// is ever lost or made; a griefer's edits go back with one console line, the
// whole world with another; a damaged database is refused, naming what to go
// back to; and the start is the admins' to change.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "game/player_record.h"
#include "game/world_db.h"
#include "protocol/codec.h"
#include "server_process.h"

namespace {

namespace fs = std::filesystem;

const Welcome* welcomeOf(Player& p) {
    p.receives<Welcome>([](const Welcome&) { return true; });
    return p.find<Welcome>([](const Welcome&) { return true; });
}

void pumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        Player::pumpAll();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Every block in the world's cells and in every record's stock: what the
// players do only moves blocks between the two.
long blocksIn(const std::string& folder) {
    std::map<std::string, std::string> records;
    const auto grid = readServerWorld(folder, &records);
    if (!grid) return -1;
    long total = 0;
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y)
            for (int level = kHighestLevel; level <= kLowestLevel; ++level)
                total += cellOf(*grid, x, y, level) != Empty ? 1 : 0;
    for (const auto& [name, text] : records) {
        std::istringstream lines(text);
        const PlayerRecord record = parsePlayerRecord(lines);
        if (!record.counts) continue;
        for (int id = 1; id < kBlockTypes; ++id) total += (*record.counts)[id];
    }
    return total;
}

// When a file was last written and its size: a save's first write changes both.
std::pair<long long, long long> lastWrite(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {0, 0};
    return {info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, info.st_size};
}

bool cellIs(const Update& u, int x, int y, int level, BlockId block) {
    for (const CellChange& c : u.cells)
        if (c.x == x && c.y == y && c.level == level && c.block == block) return true;
    return false;
}

}  // namespace

// A soak asks for more kills with TESSARIA_SOAK_ROUNDS.
TEST(ServerStore, NoKillLosesOrMakesABlock) {
    TempWorld folder;
    const char* soak = std::getenv("TESSARIA_SOAK_ROUNDS");
    const int kills = soak ? std::max(4, std::atoi(soak)) : 4;
    const std::vector<std::string> names = {"ann", "ben", "cy"};
    std::vector<std::string> keys(names.size());
    long total = 0;
    {
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0) << server.log();
        for (std::size_t i = 0; i < names.size(); ++i) {
            Player p(server.port(), names[i]);
            const Welcome* welcome = welcomeOf(p);
            ASSERT_NE(welcome, nullptr) << server.log();
            keys[i] = welcome->key;
        }
        ASSERT_EQ(server.stop(SIGTERM), 0) << server.log();
        total = blocksIn(folder.world());
        ASSERT_GT(total, 0);
    }
    std::random_device seed;
    const std::string wal = worldDbFile(folder.world()) + "-wal";
    for (int killed = 0; killed < kills && !HasFailure(); ++killed) {
        SCOPED_TRACE("kill " + std::to_string(killed + 1));
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0) << server.log();
        std::vector<std::unique_ptr<Player>> players;
        for (std::size_t i = 0; i < names.size(); ++i) {
            players.push_back(std::make_unique<Player>(server.port(), names[i], "", keys[i]));
            ASSERT_NE(welcomeOf(*players.back()), nullptr) << server.log();
        }
        // Placing and mining at body height and at the ground, through
        // saves, until a moment picked at random.
        const int rounds = 20 + static_cast<int>(seed() % 40);
        for (int round = 0; round < rounds; ++round) {
            for (auto& p : players)
                p->send(Use{static_cast<std::uint8_t>(seed() % 2), 2,
                            static_cast<std::uint8_t>(seed() % 2)});
            pumpFor(std::chrono::milliseconds(100 + seed() % 100));
        }
        // Every other kill comes the moment a save starts to reach the disk.
        if (killed % 2 == 1) {
            const auto before = lastWrite(wal);
            pumpUntil([&] { return lastWrite(wal) != before; }, [] { Player::pumpAll(); });
        }
        EXPECT_EQ(server.stop(SIGKILL), 128 + SIGKILL);
        EXPECT_EQ(blocksIn(folder.world()), total) << server.log();
    }
}

TEST(ServerStore, ARollbackPutsBackAGriefersCellsWhileTheOthersStayAndEveryoneSeesIt) {
    TempWorld folder;
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice"), bob(server.port(), "bob");
    const Welcome* a = welcomeOf(alice);
    const Welcome* b = welcomeOf(bob);
    ASSERT_TRUE(a && b) << server.log();
    const int ax = a->self.x, ay = a->self.y, bx = b->self.x, by = b->self.y;

    // Both face down and place cobblestone at body height, south of them.
    alice.send(Use{1, 2, 1});
    bob.send(Use{1, 2, 1});
    ASSERT_TRUE(bob.receives<Update>(
        [&](const Update& u) { return cellIs(u, ax, ay + 1, 9, Cobblestone); }));
    ASSERT_TRUE(alice.receives<Update>(
        [&](const Update& u) { return cellIs(u, bx, by + 1, 9, Cobblestone); }));

    server.console("history " + std::to_string(ax) + " " + std::to_string(ay + 1));
    EXPECT_TRUE(server.sawLine(" alice level 9: block 0 -> 2")) << server.log();
    server.console("rollback alice 5");
    EXPECT_TRUE(server.sawLine("rollback: put back 1 cell alice changed")) << server.log();
    EXPECT_TRUE(bob.receives<Update>([&](const Update& u) {
        return cellIs(u, ax, ay + 1, 9, Empty);
    })) << server.log();
    EXPECT_TRUE(
        alice.receives<Update>([&](const Update& u) { return cellIs(u, ax, ay + 1, 9, Empty); }));
    server.console("save");
    ASSERT_TRUE(server.sawLine("saved ")) << server.log();
    const auto grid = readServerWorld(folder.world());
    ASSERT_TRUE(grid);
    EXPECT_EQ(cellOf(*grid, ax, ay + 1, 9), Empty);
    EXPECT_EQ(cellOf(*grid, bx, by + 1, 9), Cobblestone);

    // Back to the start of the run: bob's block goes too, and he is told
    // and given his stock of then.
    bob.received.clear();
    server.console("restore 1");
    EXPECT_TRUE(server.sawLine("restore: the world is back at ")) << server.log();
    EXPECT_TRUE(bob.receives<Announcement>([](const Announcement&) { return true; }));
    EXPECT_TRUE(bob.receives<Piece>([&](const Piece& p) {
        return p.cells[pieceIndex(bx, by + 1, 9)] == Empty;
    })) << server.log();
    EXPECT_TRUE(bob.receives<Update>([](const Update& u) {
        for (const StockCount& c : u.stock)
            if (c.block == Cobblestone && c.count == 100) return true;
        return false;
    }));
}

TEST(ServerStore, OnlyAdminsChangeTheCellsAroundTheStart) {
    TempWorld folder;
    std::ofstream(folder.world() + "/server.ini") << "protect_spawn = 3\n";
    std::ofstream(folder.world() + "/admin.ini") << "admin = Alice\n";
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player alice(server.port(), "alice"), bob(server.port(), "bob");
    const Welcome* a = welcomeOf(alice);
    const Welcome* b = welcomeOf(bob);
    ASSERT_TRUE(a && b) << server.log();
    const int ax = a->self.x, ay = a->self.y, bx = b->self.x, by = b->self.y;
    bob.send(Use{1, 2, 1});
    EXPECT_TRUE(bob.receives<Announcement>(
        [](const Announcement& m) { return m.text == "this place is protected"; }));
    // Set right at once: the cell as it is, the count as it was.
    EXPECT_TRUE(
        bob.receives<Update>([&](const Update& u) { return cellIs(u, bx, by + 1, 9, Empty); }));
    alice.send(Use{1, 2, 1});
    EXPECT_TRUE(bob.receives<Update>(
        [&](const Update& u) { return cellIs(u, ax, ay + 1, 9, Cobblestone); }));
    EXPECT_EQ(
        bob.find<Update>([&](const Update& u) { return cellIs(u, bx, by + 1, 9, Cobblestone); }),
        nullptr);
}

TEST(ServerStore, ADamagedDatabaseIsRefusedWithItsRestorePointNamed) {
    TempWorld folder;
    {
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0) << server.log();
        ASSERT_EQ(server.stop(SIGTERM), 0) << server.log();
    }
    const fs::path db = worldDbFile(folder.world());
    ASSERT_TRUE(fs::exists(db));
    {
        // Every page after the file's header spoilt.
        std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
        const auto size = static_cast<std::size_t>(fs::file_size(db));
        file.seekp(100);
        const std::string noise(size - 100, '\x5a');
        file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
    }
    ServerProcess server(folder.world());
    EXPECT_EQ(server.port(), 0);
    EXPECT_EQ(server.exitStatus(), 1) << server.log();
    EXPECT_NE(server.log().find("cannot host"), std::string::npos) << server.log();
    EXPECT_NE(server.log().find("its latest restore point is "), std::string::npos) << server.log();
}
