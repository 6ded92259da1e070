// A world larger than the band played as the game plays it: set up from its
// folder, walked and built on to its own edges, saved and set up again.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "game/atomic_file.h"
#include "game/paths.h"
#include "game/world_save.h"
#include "game/world_setup.h"
#include "game/world_store.h"
#include "rules/actions.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

namespace {

constexpr int kSize = 300;
constexpr int kLast = kSize - 1;
constexpr int kGround = 8;

// A flat world of kSize columns in its own folder, grass on kGround; the
// record is what its maker kept of the player.
void makeFlatWorld(const std::string& folder, const PlayerRecord& record) {
    auto grid = std::make_unique<WorldGrid>();
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y)
            for (int level = kGround; level < kStoredLevels; ++level)
                setCellOf(*grid, x, y, level, level == kGround ? Grass : Earth);
    StoredWorld stored;
    ASSERT_TRUE(takeStoredWorld(*grid, kSize, kSize, WorldKind::Flat, record, stored));
    ASSERT_TRUE(makeFolders(folder));
    ASSERT_EQ(writeStoredWorld(folder, stored, false), 0);
}

class LargeWorld : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        playWorldFolder(folder);
    }
    void TearDown() override { endSavingRun(); }

    TempFolder temp;
    const std::string folder = "worlds/large";
};

}  // namespace

TEST_F(LargeWorld, ARunStartsWhereItsMakerSaidSavesToItsDatabaseAndComesBackAsItWasLeft) {
    PlayerRecord start;
    start.x = 150;
    start.y = 140;
    makeFlatWorld(folder, start);
    setCell(25, 25, 3, Lava);  // left over from an earlier world: must not survive
    beginWorldSetUp();
    setUpWorld();
    EXPECT_EQ(world.maxX, kLast);
    EXPECT_EQ(world.maxY, kLast);
    EXPECT_EQ(player.x, 150);
    EXPECT_EQ(player.y, 140);
    EXPECT_EQ(worldClock.dayTick, 0) << "a world's first run begins in the morning";
    EXPECT_EQ(cell(kLast, kLast, kGround), Grass);
    EXPECT_EQ(cell(25, 25, 3), Empty);

    setCell(kLast, kLast, kGround - 1, Brick);  // the far corner
    setCell(0, kLast, kGround, Empty);
    fresh::placePlayer(kLast, 3);
    player.selectedSlot = 4;
    ASSERT_TRUE(saveWorld());
    EXPECT_FALSE(nameExists(folder + "/world.ini")) << "a large world never writes the band's file";
    EXPECT_TRUE(nameExists(folder + "/world.sqlite"));
    EXPECT_TRUE(nameExists(folder + "/world.bin.converted")) << "the old file stays, renamed";
    EXPECT_FALSE(nameExists(folder + "/world.bin"));

    fresh::startGame();
    setUpWorld();
    EXPECT_EQ(cell(kLast, kLast, kGround - 1), Brick);
    EXPECT_EQ(cell(0, kLast, kGround), Empty);
    EXPECT_EQ(player.x, kLast);
    EXPECT_EQ(player.y, 3);
    EXPECT_EQ(player.selectedSlot, 4);
}

TEST_F(LargeWorld, ABandWorldAfterALargeOneKeepsNothingOfItBeyondTheBand) {
    makeFlatWorld(folder, {});
    setUpWorld();
    ASSERT_EQ(cell(kBandEdge, 5, kGround), Grass);
    endSavingRun();
    playWorldFolder("worlds/band");
    setUpWorld();
    EXPECT_EQ(world.maxX, kBandEdge);
    EXPECT_EQ(cell(kBandEdge, 5, kGround), Empty) << "column 20 is inside a band world's bounds";
}

// Walking, mining and building stop at the world's own edge, not the band's.
TEST_F(LargeWorld, TheRulesReachTheWorldsOwnEdgesAndCornersAndNoFurther) {
    makeFlatWorld(folder, {});
    setUpWorld();
    struct Corner {
        int x, y;
        int key;  // the arrow toward the edge
        Facing facing;
    };
    for (Corner corner :
         {Corner{kLast, kLast, KeyRight, Facing::Right},
          Corner{kLast, kLast, KeyDown, Facing::Down}, Corner{0, kLast, KeyLeft, Facing::Left},
          Corner{0, 0, KeyUp, Facing::Up}}) {
        const std::string where = std::to_string(corner.x) + "," + std::to_string(corner.y);
        fresh::placePlayer(corner.x, corner.y);
        player.level = kGround;
        player.facing = corner.facing;
        EXPECT_STREQ(whyActionDoesNothing(player, world, ActionMode::Mining), "the world ends here")
            << where;
        fresh::hold(corner.key);
        fresh::ticks(40);
        fresh::releaseAll();
        fresh::ticks(20);
        EXPECT_EQ(player.x, corner.x) << where;
        EXPECT_EQ(player.y, corner.y) << where;
    }
    // One column in from the corner, the edge column itself is built on.
    fresh::placePlayer(kLast - 1, kLast);
    player.level = kGround;
    player.facing = Facing::Right;
    player.targetRaised = 1;
    EXPECT_EQ(whyActionDoesNothing(player, world, ActionMode::Placing), nullptr);
    player.actionMode = ActionMode::Placing;
    finishAction(player, world);
    EXPECT_NE(cell(kLast, kLast, kGround - 1), Empty);
    // Walking the last row from one corner to the other crosses the whole world.
    fresh::placePlayer(0, kLast);
    player.level = kGround;
    fresh::hold(KeyRight);
    for (int t = 0; t < 17 * kSize && player.x < kLast - 1; ++t) fresh::tick();
    fresh::releaseAll();
    EXPECT_EQ(player.x, kLast - 1);
}
