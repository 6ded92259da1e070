// The store of large worlds through real files: a whole world and its player
// come back, a damaged file is refused whole, and a save killed at any moment
// leaves a world to play.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "game/world_store.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

const std::string kFolder = "worlds/big";

class WorldStore : public ::testing::Test {
protected:
    // Every kept cell a different neighbour from the next, so that a cell
    // moved, dropped or read from the wrong place shows.
    static BlockId patterned(int x, int y, int level) {
        return (x * 7 + y * 13 + level * 3) % kBlockTypes;
    }
    static void fillPatterned(WorldGrid& grid, int columns, int rows) {
        for (int x = 0; x < columns; ++x)
            for (int y = 0; y < rows; ++y)
                for (int level = 0; level < kStoredLevels; ++level)
                    setCellOf(grid, x, y, level, patterned(x, y, level));
    }
    static StoredWorld storedOf(const WorldGrid& grid, int size, WorldKind kind) {
        StoredWorld stored;
        EXPECT_TRUE(takeStoredWorld(grid, size, size, kind, PlayerRecord{}, stored));
        return stored;
    }

    TempFolder temp;
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
};

TEST_F(WorldStore, AWholeLargeWorldComesBackCellForCellWithItsSizeKindAndPlayer) {
    fillPatterned(*grid, 300, 300);
    // Beyond what a world keeps: the grid's edge column and its headroom.
    setCellOf(*grid, 300, 4, 2, Lava);
    setCellOf(*grid, 4, 4, -3, Lava);
    PlayerRecord record;
    record.x = 250;
    record.y = 17;
    record.level = 6;
    record.facing = Facing::Left;
    record.counts.emplace();
    record.counts->fill(3);
    StoredWorld stored;
    ASSERT_TRUE(takeStoredWorld(*grid, 300, 300, WorldKind::Flat, record, stored));
    ASSERT_EQ(writeStoredWorld(kFolder, stored, false), 0);
    EXPECT_EQ(splitLines(readText(kFolder + "/player.ini")).at(0), "player.x = 250");
    EXPECT_EQ(readText(kFolder + "/world.bin").substr(0, 12), std::string("TSWORLD\n\1\0\0\0", 12));

    StoredWorld read;
    ASSERT_EQ(readStoredWorld(kFolder, read).problem, "");
    EXPECT_EQ(read.columns, 300);
    EXPECT_EQ(read.rows, 300);
    EXPECT_EQ(read.kind, WorldKind::Flat);
    EXPECT_EQ(read.record, record);
    auto placed = std::make_unique<WorldGrid>();
    setCellOf(*placed, 4, 4, -3, Water);  // a played world's leftovers go
    placeStoredWorld(read, *placed);
    int wrong = 0;
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 300; ++y)
            for (int level = 0; level < kStoredLevels; ++level)
                wrong += cellOf(*placed, x, y, level) != patterned(x, y, level);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(cellOf(*placed, 300, 4, 2), Empty);
    EXPECT_EQ(cellOf(*placed, 4, 4, -3), Empty);
}

TEST_F(WorldStore, AWorldWithACellNoBlockHasIsNotTaken) {
    setCellOf(*grid, 40, 2, 19, kBlockTypes);
    StoredWorld stored;
    EXPECT_FALSE(takeStoredWorld(*grid, 64, 64, WorldKind::Island, PlayerRecord{}, stored));
    EXPECT_FALSE(takeStoredWorld(*grid, 302, 64, WorldKind::Island, PlayerRecord{}, stored));
}

TEST_F(WorldStore, ADamagedFileIsRefusedWithItsReasonAndNothingRead) {
    fillPatterned(*grid, 64, 64);
    const StoredWorld good = storedOf(*grid, 64, WorldKind::Island);
    const std::string bytes = encodeWorld(good);
    auto withNumber = [&](int field, std::uint32_t n) {
        std::string changed = bytes;
        for (int i = 0; i < 4; ++i) changed[8 + 4 * field + i] = static_cast<char>(n >> 8 * i);
        return changed;
    };
    StoredWorld noBlock = good;
    noBlock.cells[1234] = kBlockTypes;
    StoredWorld shortCells = good;
    shortCells.cells.resize(shortCells.cells.size() - 20);
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x55;
    const std::pair<std::string, std::string> damaged[] = {
        {bytes.substr(0, bytes.size() - 10), "it is cut short or too long"},
        {bytes.substr(0, 20), "it is not a world file"},
        {bytes + '\0', "it is cut short or too long"},
        {"TSWORLD?" + bytes.substr(8), "it is not a world file"},
        {withNumber(0, 2), "it is a world of format 2, not 1"},
        {withNumber(1, 302), "its size 302 x 64 is not one a world can have"},
        {withNumber(2, 0), "its size 64 x 0 is not one a world can have"},
        {withNumber(3, 21), "it keeps 21 levels"},
        {withNumber(4, 4), "its kind 4 is unknown"},
        {withNumber(5, 7), "it is cut short or too long"},
        {encodeWorld(noBlock), "a cell holds 23, no block"},
        {encodeWorld(shortCells), "its cells are damaged"},
        {flipped, "its cells are damaged"},
    };
    for (const auto& [file, reason] : damaged) {
        writeText(kFolder + "/world.bin", file);
        StoredWorld read;
        read.columns = 5;
        EXPECT_EQ(readStoredWorld(kFolder, read).problem,
                  "cannot read " + kFolder + "/world.bin: " + reason);
        EXPECT_EQ(read.columns, 5);
        EXPECT_TRUE(read.cells.empty());
    }
    std::filesystem::remove(kFolder + "/world.bin");
    StoredWorld read;
    EXPECT_EQ(readStoredWorld(kFolder, read).problem,
              "cannot read " + kFolder + "/world.bin: No such file or directory");
}

// scripts/soak.sh raises the rounds through TESSARIA_SOAK_ROUNDS.
TEST_F(WorldStore, TheBackupKeepsTheLastWorldAndAKilledSaveLeavesAWholeOne) {
    fillPatterned(*grid, 128, 128);
    const StoredWorld first = storedOf(*grid, 128, WorldKind::Island);
    StoredWorld second = first;
    std::fill(second.cells.begin(), second.cells.end(), Grass);
    second.record.x = 100;
    ASSERT_EQ(writeStoredWorld(kFolder, first, false), 0);
    ASSERT_EQ(backUpStoredWorld(kFolder, false), 0);
    ASSERT_EQ(writeStoredWorld(kFolder, second, false), 0);
    StoredWorld read;
    ASSERT_EQ(readStoredWorld(kFolder, read).problem, "");
    EXPECT_EQ(read, second);
    EXPECT_EQ(readText(kFolder + "/world.bin.bak"), encodeWorld(first));
    EXPECT_EQ(readText(kFolder + "/player.ini.bak"), "");
    std::filesystem::remove(kFolder + "/world.bin");
    EXPECT_TRUE(readStoredWorld(kFolder, read).fromBackup);
    EXPECT_EQ(read, first);
    ASSERT_EQ(writeStoredWorld(kFolder, second, false), 0);

    const char* soakRounds = std::getenv("TESSARIA_SOAK_ROUNDS");
    const int rounds = soakRounds != nullptr ? std::atoi(soakRounds) : 10;
    for (int round = 0; round < rounds; ++round) {
        pid_t child = ::fork();
        if (child == 0) {
            for (int n = 0;; ++n) writeStoredWorld(kFolder, n % 2 ? first : second, false);
        }
        ::usleep(2000 + round % 10 * 3000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_EQ(readStoredWorld(kFolder, read).problem, "") << "round " << round;
        EXPECT_TRUE(read.cells == first.cells || read.cells == second.cells) << "round " << round;
    }
}

}  // namespace
