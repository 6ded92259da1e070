// Two players in one world of its own, as a server holds it: the world's part
// of a tick runs once, each player's part once per player, in the order a
// single player's frame has it.
#include <gtest/gtest.h>

#include <memory>

#include "rules/input.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"

namespace {

constexpr int kL = 10;

class TwoPlayers : public ::testing::Test {
protected:
    void SetUp() override {
        grid->maxX = grid->maxY = kBandEdge;
        for (PlayerState* p : players) {
            giveStartingKit(*p);
            p->facing = Facing::Down;
            p->level = kL;
        }
        placePlayer(a, viewA, 5, 5);
        placePlayer(b, viewB, 12, 12);
    }

    void worldTick() { ::worldTick(world, players, 2); }
    BlockId at(int x, int y, int level) const { return cellOf(*grid, x, y, level); }

    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();  // all empty
    WeatherState sky;
    WorldClock clock;
    World world{*grid, sky, clock};
    PlayerState a, b;
    Camera viewA, viewB;
    PlayerState* players[2] = {&a, &b};
};

TEST_F(TwoPlayers, LiquidsFlowOncePerLevelThatAPlayerStandsOn) {
    setCellOf(*grid, 10, 3, kL, Water);
    setCellOf(*grid, 10, 3, 14, Water);
    worldTick();
    EXPECT_EQ(at(9, 3, kL), Water) << "creeps one cell upstream per pass";
    EXPECT_EQ(at(8, 3, kL), Empty) << "two players on one level make one pass";
    EXPECT_EQ(at(9, 3, 14), Empty) << "nobody stands on level 14";

    b.level = 14;
    worldTick();
    EXPECT_EQ(at(8, 3, kL), Water);
    EXPECT_EQ(at(9, 3, 14), Water);
    EXPECT_EQ(at(8, 3, 14), Empty);
}

TEST_F(TwoPlayers, EachPlayerSeesTheLiquidsOfThisTickAheadAndLavaLightOfTheLastTick) {
    a.level = kL - 1;
    clock.nightLevel = 2;
    setCellOf(*grid, 13, 13, kL, Water);   // spreads into b's target, (12, 13)
    setCellOf(*grid, 5, 1, kL - 1, Lava);  // runs down to a's light, (5, 3)
    worldTick();
    EXPECT_EQ(b.targetBlock, Water) << "the target is read after the pass";
    EXPECT_EQ(at(5, 3, kL - 1), Lava);
    EXPECT_FALSE(a.litByLava) << "the light was read before the pass";
    worldTick();
    EXPECT_TRUE(a.litByLava);
    EXPECT_FALSE(b.litByLava);
}

TEST_F(TwoPlayers, FootingAutoJumpAndRestAreEachPlayersOwn) {
    setCellOf(*grid, 5, 5, kL, Lava);
    setCellOf(*grid, 12, 12, 7, Water);
    b.autoJump = true;
    b.resting = true;
    b.busy = true;
    worldTick();
    EXPECT_EQ(a.hurtFlash, HurtFlash::Plain);
    EXPECT_EQ(b.hurtFlash, HurtFlash::Off);
    EXPECT_EQ(b.level, 7);
    EXPECT_TRUE(b.onWater);
    EXPECT_EQ(b.spriteSheet, SpriteSheet::Resting);
    EXPECT_NE(a.spriteSheet, SpriteSheet::Resting);
}

TEST_F(TwoPlayers, SnowSettlesOnceTheKindHasRaisedTheCoverAfterAWholeTick) {
    sky.weatherActive = true;
    sky.weatherKind = WeatherKind::Snow;
    setCellOf(*grid, 3, 3, 12, Grass);
    worldTick();
    EXPECT_TRUE(sky.snowCover);
    EXPECT_EQ(at(3, 3, 12), Grass);
    worldTick();
    EXPECT_EQ(at(3, 3, 12), SnowCovered);
}

TEST_F(TwoPlayers, EachIntentMovesOnlyItsPlayerAndItsCamera) {
    PlayerIntent walk;
    walk.walkRight = true;
    PlayerIntent mine;
    mine.mine = true;
    setCellOf(*grid, 12, 13, kL - 1, Brick);  // ahead of b at body height
    b.targetRaised = 1;
    const Camera viewBBefore = viewB;
    for (int t = 0; t < kHoldThreshold + 1 + 3 * kAnimTicks; ++t) {
        handlePlayerInput(a, viewA, walk, *grid);
        handlePlayerInput(b, viewB, mine, *grid);
        updateAnimations(a, viewA, *grid);
        updateAnimations(b, viewB, *grid);
        worldTick();
    }
    EXPECT_GT(a.x, 5);
    EXPECT_EQ(b.x, 12);
    EXPECT_EQ(b.y, 12);
    EXPECT_EQ(viewB.offsetX, viewBBefore.offsetX);
    EXPECT_EQ(viewB.offsetY, viewBBefore.offsetY);
    EXPECT_EQ(at(12, 13, kL - 1), Empty) << "b's third strike broke the brick";
    EXPECT_EQ(b.blockCounts[Brick], 101);
    EXPECT_EQ(a.blockCounts[Brick], 100);
}

TEST_F(TwoPlayers, TwoActionsEndingOnOneCellInOneTickEachSeeTheOthersEffect) {
    // a at (5, 5) facing down and b at (5, 7) facing up share the cell (5, 6).
    placePlayer(b, viewB, 5, 7);
    b.facing = Facing::Up;
    a.targetRaised = b.targetRaised = 1;
    const auto runBoth = [&](const PlayerIntent& intent) {
        for (int t = 0; t < 3 * kAnimTicks + 2; ++t) {
            handlePlayerInput(a, viewA, intent, *grid);
            handlePlayerInput(b, viewB, intent, *grid);
            updateAnimations(a, viewA, *grid);
            updateAnimations(b, viewB, *grid);
            worldTick();
        }
    };
    PlayerIntent mine;
    mine.mine = true;
    setCellOf(*grid, 5, 6, kL - 1, Brick);
    const int bricks = a.blockCounts[Brick] + b.blockCounts[Brick];
    runBoth(mine);
    EXPECT_EQ(at(5, 6, kL - 1), Empty);
    EXPECT_EQ(a.blockCounts[Brick] + b.blockCounts[Brick], bricks + 1) << "one brick, one miner";

    PlayerIntent place;
    place.place = true;
    const BlockId type = a.hotbar[a.selectedSlot];
    ASSERT_EQ(type, b.hotbar[b.selectedSlot]);
    const int held = a.blockCounts[type] + b.blockCounts[type];
    runBoth(place);
    EXPECT_EQ(at(5, 6, kL - 1), type);
    EXPECT_EQ(a.blockCounts[type] + b.blockCounts[type], held - 1) << "one cell, one block spent";
}

}  // namespace
