// The real tessaria-server and who a name belongs to: keys, the records that
// outlive a killed server, a name taken over from a dead link and where new
// players start.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "game/world_file.h"
#include "rules/player_state.h"
#include "server_process.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;

BlockId savedCell(const fs::path& world, int x, int y, int level) {
    const auto grid = readServerWorld(world.string());
    return grid ? cellOf(*grid, x, y, level) : Empty;
}

const Welcome* welcomeOf(Player& p) {
    if (!p.receives<Welcome>([](const Welcome&) { return true; })) return nullptr;
    return p.find<Welcome>([](const Welcome&) { return true; });
}

bool leavesFor(Player& p, Reason reason) {
    return p.receives<Leave>([&](const Leave& l) { return l.reason == reason; });
}

bool cellBecomes(Player& p, int x, int y, int level, std::uint8_t block) {
    return p.receives<Update>([&](const Update& u) {
        for (const CellChange& c : u.cells)
            if (c.x == x && c.y == y && c.level == level && c.block == block) return true;
        return false;
    });
}

}  // namespace

TEST(ServerIdentity, ANameOpensOnlyWithTheKeyItsFirstJoinWasHandedUntilItIsForgotten) {
    TempWorld folder;
    const auto record = [&] { return savedRecord(folder.world(), "alice"); };
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);
    std::string key;
    {
        Player alice(server.port(), "alice");
        const Welcome* welcome = welcomeOf(alice);
        ASSERT_NE(welcome, nullptr) << server.log();
        key = welcome->key;
        ASSERT_EQ(key.size(), kKeyLength);
        EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos) << key;
        alice.send(Leave{Reason::Leaving, ""});
        EXPECT_TRUE(server.sawLine("alice left"));
    }
    ASSERT_TRUE(waitUntil([&] { return record().find("key_sha256") != std::string::npos; }));
    EXPECT_EQ(record().find(key), std::string::npos) << "only the hash is kept";

    Player keyless(server.port(), "alice");
    EXPECT_TRUE(leavesFor(keyless, Reason::NameOwned)) << server.log();
    Player wrong(server.port(), "ALICE", "", std::string(kKeyLength, '0'));
    EXPECT_TRUE(leavesFor(wrong, Reason::NameOwned));
    {
        Player owner(server.port(), "Alice", "", key);
        const Welcome* welcome = welcomeOf(owner);
        ASSERT_NE(welcome, nullptr) << server.log();
        EXPECT_EQ(welcome->key, "") << "a key is handed only to the join that claims the name";
        // A place into a filled cell changes no count; the client, which
        // counted one less, is told the count all the same.
        owner.send(Use{1, 2, 1});
        owner.send(Use{1, 2, 1});
        const auto toldCobblestone = [&] {
            int told = 0;
            for (const Message& m : owner.received)
                if (const auto* u = std::get_if<Update>(&m))
                    for (const StockCount& c : u->stock)
                        told += c.block == Cobblestone && c.count == 99 ? 1 : 0;
            return told;
        };
        EXPECT_TRUE(pumpUntil([&] { return toldCobblestone() == 2; }, [] { Player::pumpAll(); }))
            << toldCobblestone();
        owner.send(Leave{Reason::Leaving, ""});
        EXPECT_TRUE(server.sawLine("Alice left"));
    }

    server.console("forget alice");
    EXPECT_TRUE(server.sawLine("forgot alice"));
    Player next(server.port(), "alice");
    const Welcome* claimed = welcomeOf(next);
    ASSERT_NE(claimed, nullptr) << server.log();
    EXPECT_EQ(claimed->key.size(), kKeyLength);
    EXPECT_NE(claimed->key, key);

    server.console("forget alice drop");
    EXPECT_TRUE(leavesFor(next, Reason::Kicked));
    EXPECT_TRUE(waitUntil([&] { return record().empty(); })) << server.log();
}

TEST(ServerIdentity, RecordsOutliveASigkillAndABlockIsNeverInBothTheStockAndTheWorld) {
    TempWorld folder;
    const auto record = [&] { return savedRecord(folder.world(), "alice"); };
    std::string key;
    {
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0);
        Player alice(server.port(), "alice");
        const Welcome* welcome = welcomeOf(alice);
        ASSERT_NE(welcome, nullptr) << server.log();
        key = welcome->key;
        ASSERT_EQ(welcome->self.x, 5);
        ASSERT_EQ(welcome->self.y, 5);
        // A turn changes no cell: the record is saved all the same.
        alice.send(Turn{static_cast<std::uint8_t>(Facing::Left)});
        ASSERT_TRUE(pumpUntil([&] { return record().find("facing = 2") != std::string::npos; },
                              [] { Player::pumpAll(); }))
            << server.log();
        EXPECT_EQ(server.stop(SIGKILL), 128 + SIGKILL);
    }
    {
        ServerProcess server(folder.world());
        ASSERT_NE(server.port(), 0);
        Player alice(server.port(), "alice", "", key);
        const Welcome* welcome = welcomeOf(alice);
        ASSERT_NE(welcome, nullptr) << server.log();
        EXPECT_EQ(welcome->self.facing, static_cast<int>(Facing::Left));
        // Placed and saved, mined back and left at once, then killed before
        // the world's next save: the block is in the stock or in the world,
        // not both.
        alice.send(Turn{static_cast<std::uint8_t>(Facing::Down)});
        alice.send(Use{1, 2, 1});
        ASSERT_TRUE(cellBecomes(alice, 5, 6, 9, Cobblestone)) << server.log();
        ASSERT_TRUE(pumpUntil([&] { return savedCell(folder.world(), 5, 6, 9) == Cobblestone; },
                              [] { Player::pumpAll(); }));
        for (int strike = 0; strike < 3; ++strike) alice.send(Use{0, 2, 1});
        ASSERT_TRUE(cellBecomes(alice, 5, 6, 9, Empty)) << server.log();
        alice.send(Leave{Reason::Leaving, ""});
        ASSERT_TRUE(server.sawLine("alice left"));
        EXPECT_EQ(server.stop(SIGKILL), 128 + SIGKILL);
    }
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);
    Player alice(server.port(), "alice", "", key);
    const Welcome* welcome = welcomeOf(alice);
    ASSERT_NE(welcome, nullptr) << server.log();
    ASSERT_TRUE(alice.receives<Piece>([](const Piece&) { return true; }));
    const Piece& piece = *alice.find<Piece>([](const Piece&) { return true; });
    const bool inWorld = piece.cells[pieceIndex(5, 6, 9)] == Cobblestone;
    EXPECT_EQ(welcome->stock[Cobblestone] + (inWorld ? 1 : 0), 100u) << "in the world: " << inWorld;
}

TEST(ServerIdentity, TheRightKeyTakesANameOverFromAConnectionStillInPlay) {
    TempWorld folder;
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);
    Player first(server.port(), "alice");
    const Welcome* welcome = welcomeOf(first);
    ASSERT_NE(welcome, nullptr) << server.log();
    const std::string key = welcome->key;
    first.send(Turn{static_cast<std::uint8_t>(Facing::Right)});
    ASSERT_TRUE(first.receives<Update>([](const Update& u) {
        for (const PlayerMove& m : u.moves)
            if (m.facing == static_cast<int>(Facing::Right)) return true;
        return false;
    }));

    Player again(server.port(), "alice", "", key);
    const Welcome* taken = welcomeOf(again);
    ASSERT_NE(taken, nullptr) << server.log();
    EXPECT_EQ(taken->self.facing, static_cast<int>(Facing::Right)) << "where the player was";
    EXPECT_TRUE(leavesFor(first, Reason::Kicked));
    EXPECT_TRUE(server.sawLine("alice left: joined again from elsewhere"));
    server.console("list");
    EXPECT_TRUE(server.sawLine("1 of 16 players"));
}

TEST(ServerIdentity, NewPlayersStartApartInSightAndNewNamesAreBounded) {
    TempWorld folder;
    WorldSnapshot world;  // the pillar north of the start two blocks high
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y) world.at(x, y, 10) = Grass;
    world.at(5, 4, 9) = world.at(5, 4, 8) = Cobblestone;
    world.playerX = world.playerY = 5;
    ASSERT_EQ(writeWorldFile(folder.world() + "/world.ini", world, false), 0);
    std::ofstream(folder.world() + "/server.ini") << "new_names_per_minute = 7\n";
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);
    std::vector<std::unique_ptr<Player>> players;
    std::set<std::pair<int, int>> columns;
    for (int n = 0; n < 7; ++n) {
        players.push_back(std::make_unique<Player>(server.port(), "p" + std::to_string(n)));
        const Welcome* welcome = welcomeOf(*players.back());
        ASSERT_NE(welcome, nullptr) << server.log();
        const std::pair<int, int> at{welcome->self.x, welcome->self.y};
        EXPECT_TRUE(columns.insert(at).second) << at.first << "," << at.second << " twice";
        EXPECT_EQ(welcome->self.level, 10) << "on the ground, not on the pillar";
        EXPECT_NE(at, std::make_pair(4, 4)) << "hidden behind the pillar";
        EXPECT_LE(std::abs(at.first - 5) + std::abs(at.second - 5), 4);
    }
    Player late(server.port(), "p7");
    EXPECT_TRUE(leavesFor(late, Reason::ServerFull)) << server.log();
    EXPECT_TRUE(server.sawLine("too many new names this minute"));
}

// One address may claim only a few names a minute, so that it cannot spend
// the whole server's minute of them; a name coming back with its key is
// never a new one and gets in with both spent.
TEST(ServerIdentity, NewNamesAreBoundedPerAddressTooAndANameWithItsKeyAlwaysGetsIn) {
    TempWorld folder;
    std::ofstream(folder.world() + "/server.ini")
        << "new_names_per_address = 2\nnew_names_per_minute = 3\n";
    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0);
    Player ann(server.port(), "ann");
    const Welcome* claimed = welcomeOf(ann);
    ASSERT_NE(claimed, nullptr) << server.log();
    const std::string key = claimed->key;
    Player bob(server.port(), "bob");
    ASSERT_NE(welcomeOf(bob), nullptr) << server.log();
    Player cat(server.port(), "cat");
    EXPECT_TRUE(leavesFor(cat, Reason::ServerFull)) << server.log();
    EXPECT_TRUE(server.sawLine("cat: too many new names from this address this minute"));
    Player dan(server.port(), "dan", "", "", 2);
    EXPECT_NE(welcomeOf(dan), nullptr) << "another address still has its own" << server.log();
    Player eve(server.port(), "eve", "", "", 3);
    EXPECT_TRUE(leavesFor(eve, Reason::ServerFull)) << server.log();
    EXPECT_TRUE(server.sawLine("eve: too many new names this minute"));
    Player annAgain(server.port(), "ann", "", key, 3);
    EXPECT_NE(welcomeOf(annAgain), nullptr) << server.log();
}
