// A stream poured on a hosted large world grows, cell for cell, as the same
// pour grows in a world ticked here the way a single player's is.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "game/world_store.h"
#include "protocol/codec.h"
#include "rules/world_tick.h"
#include "server_process.h"

namespace {

constexpr int kSize = 64;
constexpr int kGround = 10;
constexpr int kAtX = 30, kAtY = 30;  // the pourer's column; it faces +y
constexpr int kHoleX = 32, kHoleY = 31;

// Grass at level 10 with the air below it, and a hole in it for the stream
// to fall through.
StoredWorld meadow() {
    StoredWorld stored;
    stored.columns = stored.rows = kSize;
    stored.cells.assign(static_cast<std::size_t>(kSize) * kSize * kStoredLevels, Empty);
    for (std::size_t column = 0; column < stored.cells.size() / kStoredLevels; ++column)
        stored.cells[column * kStoredLevels + kGround] = Grass;
    stored.cells[(static_cast<std::size_t>(kHoleX) * kSize + kHoleY) * kStoredLevels + kGround] =
        Empty;
    return stored;
}

// What the player has been told of every cell of its pieces, in the order told.
struct Seen {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    std::size_t read = 0;
    void take(const Player& p) {
        for (; read < p.received.size(); ++read) {
            const Message& m = p.received[read];
            if (const auto* piece = std::get_if<Piece>(&m)) applyPiece(*piece, *grid, kSize, kSize);
            if (const auto* u = std::get_if<Update>(&m))
                for (const CellChange& c : u->cells) setCellOf(*grid, c.x, c.y, c.level, c.block);
        }
    }
};

// Liquids exactly, anything else only as air or not: the server's weather
// may lay snow on the grass.
int mismatches(const WorldGrid& a, const WorldGrid& b) {
    const auto kind = [](BlockId id) { return liquidOf(id) != Empty ? id : id != Empty; };
    int apart = 0;
    for (int x = kAtX - 12; x <= kAtX + 12; ++x)
        for (int y = kAtY - 12; y <= kAtY + 12; ++y)
            for (int level = 0; level < kBandLevels; ++level)
                apart += kind(cellOf(a, x, y, level)) != kind(cellOf(b, x, y, level));
    return apart;
}

}  // namespace

TEST(ServerLiquids, WaterPouredOnTheServerRunsAsInASinglePlayersWorld) {
    TempWorld folder;
    ASSERT_EQ(writeStoredWorld(folder.world(), meadow(), false), 0);
    std::filesystem::create_directories(folder.path / "world" / "players");
    {
        std::ofstream record(folder.path / "world" / "players" / "ann");
        record << "player.x = " << kAtX << "\nplayer.y = " << kAtY << "\nplayer.level = " << kGround
               << "\nplayer.facing = 1\n";
    }
    // The same pour at home: water one level above the ground ahead.
    auto home = std::make_unique<WorldGrid>();
    placeStoredWorld(meadow(), *home);
    home->maxX = home->maxY = kSize - 1;
    setCellOf(*home, kAtX, kAtY + 1, kGround - 1, Water);
    WeatherState sky;
    WorldClock clock;
    PlayerState stander;
    stander.autoJump = false;
    for (int tick = 0; tick < 600; ++tick) {
        advanceClocks(World{*home, sky, clock});
        worldTick(World{*home, sky, clock}, stander);
    }
    ASSERT_EQ(cellOf(*home, kHoleX, kHoleY, kLowestLevel - 1), streamOf(Water, 0));

    ServerProcess server(folder.world());
    ASSERT_NE(server.port(), 0) << server.log();
    Player ann(server.port(), "ann");
    ASSERT_TRUE(ann.receives<PlayerList>([](const PlayerList&) { return true; }));
    ann.send(Use{1, 7, 1});  // the default hotbar's water
    Seen seen;
    seen.grid->maxX = seen.grid->maxY = kSize - 1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    do {
        Player::pumpAll();
        seen.take(ann);
    } while (mismatches(*seen.grid, *home) != 0 && std::chrono::steady_clock::now() < end);
    EXPECT_EQ(mismatches(*seen.grid, *home), 0);
    EXPECT_EQ(cellOf(*seen.grid, kAtX, kAtY + 1, kGround - 1), Water);
}
