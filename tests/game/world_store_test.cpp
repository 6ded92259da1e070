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

// Each kept cell differs from its neighbours, so a cell moved or dropped shows.
BlockId patterned(int x, int y, int level) { return (x * 7 + y * 13 + level * 3) % kBlockTypes; }

class WorldStore : public ::testing::Test {
protected:
    StoredWorld patternedWorld(int size, PlayerRecord record = {}) {
        for (int x = 0; x < size; ++x)
            for (int y = 0; y < size; ++y)
                for (int level = 0; level < kStoredLevels; ++level)
                    setCellOf(*grid, x, y, level, patterned(x, y, level));
        StoredWorld stored;
        EXPECT_TRUE(takeStoredWorld(*grid, size, size, WorldKind::Flat, record, stored));
        return stored;
    }

    TempFolder temp;
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
};

TEST_F(WorldStore, AWholeLargeWorldComesBackCellForCellWithItsSizeKindAndPlayer) {
    PlayerRecord record;
    record.x = 250;
    record.y = record.level = 6;
    record.counts.emplace();
    record.counts->fill(3);
    ASSERT_EQ(writeStoredWorld(kFolder, patternedWorld(300, record), false), 0);
    EXPECT_EQ(splitLines(readText(kFolder + "/player.ini")).at(0), "player.x = 250");
    EXPECT_EQ(readText(kFolder + "/world.bin").substr(0, 12), std::string("TSWORLD\n\1\0\0\0", 12));

    StoredWorld read;
    ASSERT_EQ(readStoredWorld(kFolder, read).problem, "");
    EXPECT_EQ(read.columns * 1000 + read.rows, 300300);
    EXPECT_EQ(read.kind, WorldKind::Flat);
    EXPECT_EQ(read.record, record);
    auto placed = std::make_unique<WorldGrid>();
    setCellOf(*placed, 4, 4, -3, Water);  // a world played before leaves nothing behind
    placeStoredWorld(read, *placed);
    int wrong = cellOf(*placed, 4, 4, -3) != Empty;
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < 300; ++y)
            for (int level = 0; level < kStoredLevels; ++level)
                wrong += cellOf(*placed, x, y, level) != patterned(x, y, level);
    EXPECT_EQ(wrong, 0);
}

TEST_F(WorldStore, ADamagedFileIsRefusedWithItsReasonAndNothingRead) {
    const StoredWorld good = patternedWorld(64);
    const std::string bytes = encodeWorld(good);
    auto withNumber = [&](int field, std::uint32_t n) {
        std::string changed = bytes;
        for (int i = 0; i < 4; ++i) changed[8 + 4 * field + i] = static_cast<char>(n >> 8 * i);
        return changed;
    };
    StoredWorld noBlock = good, shortCells = good;
    noBlock.cells[1234] = kBlockTypes;
    shortCells.cells.resize(shortCells.cells.size() - 20);
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x55;
    const std::pair<std::string, std::string> damaged[] = {
        {bytes.substr(0, bytes.size() - 10), "it is cut short or too long"},
        {bytes + '\0', "it is cut short or too long"},
        {"TSWORLD?" + bytes.substr(8), "it is not a world file"},
        {withNumber(0, 2), "it is a world of format 2, not 1"},
        {withNumber(1, 302), "its size 302 x 64 is not one a world can have"},
        {withNumber(4, 4), "its kind 4 is unknown"},
        {withNumber(5, 7), "it is cut short or too long"},
        {encodeWorld(noBlock), "a cell holds 23, no block"},
        {encodeWorld(shortCells), "its cells are damaged"},
        {flipped, "its cells are damaged"},
    };
    for (const auto& [file, reason] : damaged) {
        writeText(kFolder + "/world.bin", file);
        StoredWorld read;
        EXPECT_EQ(readStoredWorld(kFolder, read).problem,
                  "cannot read " + kFolder + "/world.bin: " + reason);
        EXPECT_TRUE(read.cells.empty());
    }
    // Nor is a world with such a cell taken to be saved.
    setCellOf(*grid, 40, 2, 19, kBlockTypes);
    StoredWorld stored;
    EXPECT_FALSE(takeStoredWorld(*grid, 64, 64, WorldKind::Flat, PlayerRecord{}, stored));
}

// scripts/soak.sh raises the rounds through TESSARIA_SOAK_ROUNDS.
TEST_F(WorldStore, TheBackupKeepsTheLastWorldAndAKilledSaveLeavesAWholeOne) {
    const StoredWorld first = patternedWorld(128);
    StoredWorld second = first, read;
    std::fill(second.cells.begin(), second.cells.end(), Grass);
    second.record.x = 100;
    ASSERT_EQ(writeStoredWorld(kFolder, first, false), 0);
    ASSERT_EQ(backUpStoredWorld(kFolder, false), 0);
    ASSERT_EQ(writeStoredWorld(kFolder, second, false), 0);
    ASSERT_EQ(readStoredWorld(kFolder, read).problem, "");
    EXPECT_EQ(read, second);
    std::filesystem::remove(kFolder + "/world.bin");
    EXPECT_TRUE(readStoredWorld(kFolder, read).fromBackup);
    EXPECT_EQ(read, first);

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
