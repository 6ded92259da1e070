// Streams in a world larger than the band: a 30 x 30 plain with its ground
// at level 11, the air above it, and liquids poured in, watched tick by tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

#include "rules/actions.h"
#include "rules/liquids.h"
#include "rules/player_state.h"
#include "rules/world_tick.h"

namespace {

constexpr int kSize = 30;
constexpr int kAir = 10;  // the level just above the ground
constexpr int kMid = 15;

class Streams : public ::testing::Test {
protected:
    void SetUp() override {
        grid->maxX = grid->maxY = kSize - 1;
        for (int x = 0; x < kSize; ++x)
            for (int y = 0; y < kSize; ++y)
                for (int level = kAir + 1; level <= kLowestLevel; ++level)
                    setCellOf(*grid, x, y, level, Earth);
        player.x = player.y = 2;
        player.level = kAir + 1;
        giveStartingKit(player);
        player.targetRaised = 1;
    }

    // Timer ticks, each with its frame.
    void run(int ticks) {
        for (int n = 0; n < ticks; ++n) {
            advanceClocks(world);
            worldTick(world, player);
        }
    }
    BlockId at(int x, int y, int level) const { return cellOf(*grid, x, y, level); }
    int liquidCells() const {
        int count = 0;
        for (int x = 0; x < kSize; ++x)
            for (int y = 0; y < kSize; ++y)
                for (int level = kHighestLevel; level <= kLowestLevel; ++level)
                    count += liquidOf(at(x, y, level)) != Empty;
        return count;
    }

    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    WeatherState sky;
    WorldClock clock;
    World world{*grid, sky, clock};
    PlayerState player;
};

}  // namespace

TEST_F(Streams, WaterFallsToTheGroundRunsFourColumnsNeverOverAirAndStops) {
    setCellOf(*grid, kMid, kMid, kAir - 3, Water);
    setCellOf(*grid, kMid + 3, kMid, kAir + 1, Empty);  // a hole in the ground
    // Frames without ticks move nothing: the pace is the world's ticks.
    for (int n = 0; n < 50; ++n) worldTick(world, player);
    EXPECT_EQ(at(kMid, kMid, kAir - 2), Empty);

    run(400);
    EXPECT_EQ(at(kMid, kMid, kAir - 3), Water);  // the source never moves
    EXPECT_EQ(at(kMid + 1, kMid, kAir - 3), Empty);
    EXPECT_EQ(at(kMid, kMid, kAir - 2), streamOf(Water, 0));
    EXPECT_EQ(at(kMid, kMid, kAir), streamOf(Water, 0));  // where the fall landed
    EXPECT_EQ(at(kMid, kMid - 4, kAir), streamOf(Water, 4));
    EXPECT_EQ(at(kMid, kMid - 5, kAir), Empty);
    EXPECT_EQ(at(kMid - 2, kMid + 2, kAir), streamOf(Water, 4));
    EXPECT_EQ(at(kMid - 3, kMid + 2, kAir), Empty);
    // Over the hole the stream falls in and runs no farther that way.
    EXPECT_EQ(at(kMid + 3, kMid, kAir + 1), streamOf(Water, 0));
    EXPECT_EQ(at(kMid + 4, kMid, kAir), Empty);
    const int settled = liquidCells();
    // The source, its fall, the diamond but the cell past the hole, the hole.
    EXPECT_EQ(settled, 1 + 2 + 41 - 1 + 1);
    run(200);
    EXPECT_EQ(liquidCells(), settled);
}

TEST_F(Streams, LavaRunsTwoColumnsAtAQuarterOfWatersPace) {
    setCellOf(*grid, kMid, kMid, kAir, Lava);
    run(kLavaStepTicks - 1);
    EXPECT_EQ(at(kMid + 1, kMid, kAir), Empty);
    run(1);
    EXPECT_EQ(at(kMid + 1, kMid, kAir), streamOf(Lava, 1));
    run(200);
    EXPECT_EQ(at(kMid, kMid + 2, kAir), streamOf(Lava, 2));
    EXPECT_EQ(at(kMid, kMid + 3, kAir), Empty);
    EXPECT_EQ(liquidCells(), 13);
}

TEST_F(Streams, AStreamWithoutItsSourceDrainsFarEndFirstAndAPlacedBlockTakesItsCell) {
    setCellOf(*grid, kMid, kMid, kAir, Water);
    run(200);
    // A block placed into a stream takes the cell; the stream beyond it drains.
    player.x = kMid + 2;
    player.y = kMid - 1;
    player.level = kAir + 1;
    player.facing = Facing::Down;
    player.actionMode = ActionMode::Placing;
    player.hotbar[player.selectedSlot] = Brick;
    EXPECT_EQ(whyActionDoesNothing(player, *grid, ActionMode::Placing), nullptr);
    placeCell(player, *grid, kMid + 2, kMid);
    run(200);
    EXPECT_EQ(at(kMid + 2, kMid, kAir), Brick);
    EXPECT_EQ(at(kMid + 3, kMid, kAir), Empty);  // round the brick is too far
    EXPECT_EQ(at(kMid + 3, kMid + 1, kAir), streamOf(Water, 4));

    bool wet[9][9];
    for (int dx = -4; dx <= 4; ++dx)
        for (int dy = -4; dy <= 4; ++dy)
            wet[dx + 4][dy + 4] = isStream(at(kMid + dx, kMid + dy, kAir));
    setCellOf(*grid, kMid, kMid, kAir, Empty);  // the source mined
    int firstGone = -1;                         // the farthest of the first cells to go
    for (int tick = 0; tick < 400 && firstGone < 0; ++tick) {
        run(1);
        for (int dx = -4; dx <= 4; ++dx)
            for (int dy = -4; dy <= 4; ++dy) {
                if (!wet[dx + 4][dy + 4] || at(kMid + dx, kMid + dy, kAir) != Empty) continue;
                if (firstGone < 0) {
                    // The near end is still there, draining.
                    EXPECT_GT(streamDrain(at(kMid - 1, kMid, kAir)), 0);
                }
                firstGone = std::max(firstGone, std::abs(dx) + std::abs(dy));
            }
    }
    EXPECT_EQ(firstGone, 4);
    run(400);
    EXPECT_EQ(liquidCells(), 0);
}

TEST_F(Streams, WaterAndLavaMeetInHardRockAndNeitherRunsThroughTheOther) {
    setCellOf(*grid, kMid, kMid, kAir, Lava);
    setCellOf(*grid, kMid + 7, kMid, kAir, Water);
    setCellOf(*grid, kMid - 2, kMid, kAir - 1, Water);  // water poured onto the lava's stream
    run(400);
    EXPECT_EQ(at(kMid, kMid, kAir), Lava);
    int rock = 0;
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y)
            for (int level = kAir - 1; level <= kAir; ++level) {
                rock += at(x, y, level) == HardRock;
                if (liquidOf(at(x, y, level)) != Water) continue;
                for (const auto [dx, dy, dl] :
                     {std::array<int, 3>{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}})
                    EXPECT_NE(liquidOf(at(x + dx, y + dy, level + dl)), Lava)
                        << "water at " << x << "," << y << "," << level;
            }
    EXPECT_GE(rock, 2);
    EXPECT_EQ(at(kMid + 2, kMid, kAir), streamOf(Lava, 2));  // the lava's far side runs on
}
