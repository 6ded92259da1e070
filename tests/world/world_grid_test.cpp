// The grid's storage layout, its edges and what counts as solid.
#include <gtest/gtest.h>

#include "support/fresh_game.h"
#include "world/world_grid.h"

class WorldGridTest : public ::testing::Test {
protected:
    void SetUp() override { fresh::startGame(); }
};

TEST_F(WorldGridTest, CellsLieXMajorWithLevelsFastestAndTenLevelsOfHeadroom) {
    setCell(3, 7, 12, Planks);
    EXPECT_EQ(world.cells[3 * 9331 + 7 * 31 + 22], 4);
    setCell(0, 0, -10, Earth);
    EXPECT_EQ(world.cells[0], 6);
    setCell(300, 300, 20, Gravel);
    EXPECT_EQ(world.cells[301 * 301 * 31 - 1], 9);
    EXPECT_EQ(cell(300, 300, 20), Gravel);
}

TEST_F(WorldGridTest, OutsideTheStoredGridCellsReadEmptyAndWritesAreDropped) {
    for (int level = -10; level <= 20; ++level) setCell(0, 0, level, Cobblestone);
    setCell(0, 0, -11, Water);
    setCell(0, 0, 21, Water);
    setCell(-1, 0, 0, Water);
    setCell(0, -1, 0, Water);
    setCell(301, 0, 0, Water);
    setCell(0, 301, 0, Water);
    EXPECT_EQ(cell(0, 0, -11), Empty);
    EXPECT_EQ(cell(0, 0, 21), Empty);
    EXPECT_EQ(cell(-1, 0, 0), Empty);
    EXPECT_EQ(cell(0, -1, 0), Empty);
    EXPECT_EQ(cell(301, 0, 0), Empty);
    EXPECT_EQ(cell(0, 301, 0), Empty);
    EXPECT_EQ(cell(0, 0, -10), Cobblestone);
    EXPECT_EQ(cell(0, 0, 20), Cobblestone);
    EXPECT_EQ(cell(1, 0, -10), Empty);
}

// The caches of the drawing trust the revision to tell them of any change.
TEST_F(WorldGridTest, EveryWriteMovesTheRevisionOnAndNothingElseDoes) {
    auto revision = world.revision;
    setCell(4, 4, 4, Cobblestone);
    EXPECT_NE(world.revision, revision);
    revision = world.revision;
    setCell(4, 4, 4, Cobblestone);
    EXPECT_NE(world.revision, revision) << "the same value written again";
    revision = world.revision;
    clearWorld();
    EXPECT_NE(world.revision, revision);
    EXPECT_EQ(cell(4, 4, 4), Empty);
    revision = world.revision;
    cell(4, 4, 4);
    setCell(-1, 0, 0, Water);
    EXPECT_EQ(world.revision, revision) << "a read, and a write outside the grid";
}

TEST_F(WorldGridTest, EveryValueButZeroIsSolidAndOnlyZeroToTwentyTwoAreKnown) {
    EXPECT_FALSE(isSolid(Empty));
    EXPECT_TRUE(isSolid(1));
    EXPECT_TRUE(isSolid(22));
    EXPECT_TRUE(isSolid(23));
    EXPECT_TRUE(isSolid(-1));
    EXPECT_TRUE(isKnownBlock(0));
    EXPECT_TRUE(isKnownBlock(22));
    EXPECT_FALSE(isKnownBlock(23));
    EXPECT_FALSE(isKnownBlock(-1));
    EXPECT_FALSE(hasTile(0));
    EXPECT_TRUE(hasTile(1));
    EXPECT_TRUE(hasTile(22));
    EXPECT_FALSE(hasTile(23));
}
