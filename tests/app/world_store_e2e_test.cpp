// A larger world's database under a real game: killed while it mines and
// places, the world and the player's stock on the disk always come from the
// same save; a damaged database is refused and its restore point offered.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/e2e_harness.h"
#include "game/world_catalog.h"
#include "game/world_store.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSize = 64;
constexpr int kStart = 30;
constexpr int kFloorLevel = 10;
constexpr int kStock = 10;  // of every block, so that placing never runs out

using Census = std::array<long long, kBlockTypes>;

// Planks under a brick wall the player faces: nothing here is grass or
// earth, which snow would change under the player's hands.
void makeWorld(const std::string& folder) {
    auto grid = std::make_unique<WorldGrid>();
    clearGrid(*grid);
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y) setCellOf(*grid, x, y, kFloorLevel, Planks);
    for (int x = 0; x < kSize; ++x) setCellOf(*grid, x, kStart + 1, kFloorLevel - 1, Brick);
    WorldDbMeta meta;
    meta.columns = meta.rows = kSize;
    PlayerRecord record;
    record.x = record.y = kStart;
    record.level = kFloorLevel;
    record.facing = Facing::Down;
    record.selectedSlot = 2;
    record.hotbar = {Grass, Earth, Cobblestone, Planks, Sand, Log, Brick, Glass, Marble};
    record.counts.emplace();
    record.counts->fill(kStock);
    (*record.counts)[Empty] = 0;
    std::string problem;
    int error = 0;
    ASSERT_TRUE(writeStoredWorldDb(folder, meta, *grid, record, problem, error)) << problem;
}

// Every block in the world and in the stock, as a reader beside the game finds them.
bool countBlocks(const std::string& folder, Census& census, std::string& problem) {
    WorldDb db;
    WorldDbMeta meta;
    std::string lines;
    bool found = false;
    auto grid = std::make_unique<WorldGrid>();
    clearGrid(*grid);
    if (!openWorldDb(db, worldDbFile(folder), DbMode::ReadOnly, problem) ||
        !readMeta(db, meta, problem) || !readWorldCells(db, meta, *grid, problem) ||
        !readRecord(db, kSinglePlayer, lines, found, problem))
        return false;
    census.fill(0);
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y)
            for (int level = kHighestLevel; level <= kLowestLevel; ++level)
                ++census[cellOf(*grid, x, y, level)];
    const PlayerRecord record = recordFromLines(lines, kSize);
    if (record.counts)
        for (int id = 0; id < kBlockTypes; ++id) census[id] += (*record.counts)[id];
    census[Empty] = 0;
    return true;
}

class WorldStoreInAGame : public ::testing::Test {
protected:
    XServer server;
    RunFolder folder;
};

// The cell ahead of the player as the database holds it now.
BlockId cellAheadOnDisk(const std::string& folder) {
    WorldDb db;
    std::vector<std::uint8_t> piece;
    std::string problem;
    if (!openWorldDb(db, worldDbFile(folder), DbMode::ReadOnly, problem) ||
        !readPiece(db, 1, 1, piece, problem))
        return -1;
    return piece[dbPieceIndex(kStart - kDbPieceEdge, kStart + 1 - kDbPieceEdge, kFloorLevel - 1)];
}

// Mining the wall puts a brick in the stock, placing takes a cobblestone
// out: every save changes the world and the stock together. Each round kills
// the game the moment a change reaches the disk, in the middle of the save
// that wrote it, where a save in two steps would leave a block made or lost.
TEST_F(WorldStoreInAGame, KillsInTheMiddleOfSavesNeverMakeOrLoseABlock) {
    const std::string world = folder.worldFolder().string();
    fs::remove(folder.worldFile());
    makeWorld(world);
    Census before{}, after{};
    std::string problem;
    ASSERT_TRUE(countBlocks(world, before, problem)) << problem;
    for (int round = 0; round < 4; ++round) {
        const BlockId was = cellAheadOnDisk(world);
        GameProcess game(server, folder, {}, nullptr, kPlayTestWorld);
        const Window window = waitForWindow(server, kStartSeconds);
        ASSERT_NE(window, 0u) << game.errorOutput();
        const bool saved = holdKeyUntil(
            server, window, was == Empty ? "space" : "Control_R",
            [&] { return cellAheadOnDisk(world) != was && kill(game.pid(), SIGKILL) == 0; },
            kStartSeconds);
        kill(game.pid(), SIGKILL);
        EXPECT_EQ(game.waitForExit(kExitSeconds), 128 + SIGKILL);
        ASSERT_TRUE(saved) << "round " << round << ": no change was saved\n" << game.errorOutput();
        ASSERT_TRUE(countBlocks(world, after, problem)) << "round " << round << ": " << problem;
        EXPECT_EQ(after, before) << "round " << round;
    }
}

// A flipped bit in a piece: the game names the world's file and why, offers
// the restore point, and exits without opening an empty world.
TEST_F(WorldStoreInAGame, ADamagedDatabaseIsRefusedWithItsRestorePointOffered) {
    const std::string world = folder.worldFolder().string();
    fs::remove(folder.worldFile());
    makeWorld(world);
    {
        WorldDb db;
        std::string problem;
        ASSERT_TRUE(openWorldDb(db, worldDbFile(world), DbMode::ReadWrite, problem) &&
                    makeRestorePoint(db, world, 1000, "start", 8, problem))
            << problem;
        // One bit of a piece's blob flipped, as a worn disk would.
        sqlite3_stmt* read = nullptr;
        sqlite3_prepare_v2(db.handle, "SELECT cells FROM pieces WHERE px = 1 AND py = 1", -1, &read,
                           nullptr);
        ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
        std::string blob(static_cast<const char*>(sqlite3_column_blob(read, 0)),
                         static_cast<std::size_t>(sqlite3_column_bytes(read, 0)));
        sqlite3_finalize(read);
        blob[blob.size() / 2] ^= 0x10;
        sqlite3_stmt* write = nullptr;
        sqlite3_prepare_v2(db.handle, "UPDATE pieces SET cells = ? WHERE px = 1 AND py = 1", -1,
                           &write, nullptr);
        sqlite3_bind_blob(write, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(write), SQLITE_DONE);
        sqlite3_finalize(write);
    }
    const std::string before = readText(worldDbFile(world));

    GameProcess game(server, folder, {}, nullptr, kPlayTestWorld);
    EXPECT_EQ(game.waitForExit(kStartSeconds), 1);
    const std::string said = game.errorOutput();
    EXPECT_NE(said.find("Tessaria: data/worlds/test/world.sqlite: piece 1,1 is damaged\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Tessaria: its latest restore point is "), std::string::npos) << said;
    EXPECT_NE(said.find(", start of a session (Restore... in the world list)"), std::string::npos)
        << said;
    EXPECT_EQ(readText(worldDbFile(world)), before) << "a refused world is left as it is";
}

}  // namespace
