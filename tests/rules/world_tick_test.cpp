// The per-frame world tick: liquids, snow cover, the target, the ground under
// the player and what it stands on.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "support/fresh_game.h"

using namespace fresh;

namespace {

constexpr int kL = 5;  // the player's ground level in these worlds

// The layer at the player's level as 21 rows of 21 characters, y down the
// rows and x along them: '.' empty, 'w' water, 'l' lava, 'h' hard rock,
// '#' anything else.
std::string layer(int level) {
    std::string text;
    for (int y = 0; y <= 20; ++y) {
        for (int x = 0; x <= 20; ++x) {
            BlockId id = cell(x, y, level);
            text += id == Empty      ? '.'
                    : id == Water    ? 'w'
                    : id == Lava     ? 'l'
                    : id == HardRock ? 'h'
                                     : '#';
        }
        text += '\n';
    }
    return text;
}

// Rows given as inclusive x ranges of water, per y.
std::string waterRows(const int (&ranges)[21][2]) {
    std::string text;
    for (int y = 0; y <= 20; ++y) {
        for (int x = 0; x <= 20; ++x) text += x >= ranges[y][0] && x <= ranges[y][1] ? 'w' : '.';
        text += '\n';
    }
    return text;
}

}  // namespace

class WorldTick : public ::testing::Test {
protected:
    void SetUp() override {
        startGame(0, 0, kL);
        player.autoJump = false;  // keep the level fixed while liquids are watched
    }
};

TEST_F(WorldTick, WaterRunsDownstreamInOneTickAndCreepsUpstreamOneCell) {
    setCell(5, 5, kL, Water);
    worldTick();
    const int none[2] = {99, -1};
    int afterOne[21][2];
    for (int y = 0; y <= 20; ++y) {
        afterOne[y][0] = none[0];
        afterOne[y][1] = none[1];
    }
    for (int y = 5; y <= 19; ++y) afterOne[y][0] = 4, afterOne[y][1] = 20;
    afterOne[4][0] = 5, afterOne[4][1] = 19;
    afterOne[20][0] = 5, afterOne[20][1] = 19;
    EXPECT_EQ(layer(kL), waterRows(afterOne));

    worldTick();
    int afterTwo[21][2];
    for (int y = 0; y <= 20; ++y) afterTwo[y][0] = none[0], afterTwo[y][1] = none[1];
    for (int y = 5; y <= 19; ++y) afterTwo[y][0] = 3, afterTwo[y][1] = 20;
    afterTwo[4][0] = 4, afterTwo[4][1] = 20;
    afterTwo[3][0] = 5, afterTwo[3][1] = 19;
    afterTwo[20][0] = 4, afterTwo[20][1] = 19;
    EXPECT_EQ(layer(kL), waterRows(afterTwo));
}

TEST_F(WorldTick, LavaFillsTheAirBesideItAndHardensTheWater) {
    setCell(5, 5, kL, Lava);
    setCell(6, 5, kL, Water);
    setCell(5, 4, kL, Cobblestone);
    setCell(5, 6, kL, Cobblestone);
    worldTick();
    EXPECT_EQ(cell(4, 5, kL), Lava);
    EXPECT_EQ(cell(6, 5, kL), HardRock);
    EXPECT_EQ(cell(5, 5, kL), Lava);
    EXPECT_EQ(cell(5, 4, kL), Cobblestone);
    EXPECT_EQ(cell(3, 5, kL), Empty);
}

TEST_F(WorldTick, LiquidsAwayFromThePlayersLevelStayStill) {
    setCell(5, 5, kL - 1, Water);
    setCell(5, 5, kL + 1, Lava);
    worldTick();
    EXPECT_EQ(cell(5, 6, kL - 1), Empty);
    EXPECT_EQ(cell(5, 6, kL + 1), Empty);
    EXPECT_EQ(cell(4, 5, kL + 1), Empty);
}

TEST_F(WorldTick, BorderCellsReceiveLiquidButDoNotPassItOn) {
    setCell(0, 5, kL, Water);
    setCell(20, 8, kL, Water);
    setCell(8, 0, kL, Lava);
    worldTick();
    EXPECT_EQ(cell(0, 6, kL), Empty);
    EXPECT_EQ(cell(1, 5, kL), Empty);
    EXPECT_EQ(cell(19, 8, kL), Empty);
    EXPECT_EQ(cell(8, 1, kL), Empty);

    setCell(19, 12, kL, Water);
    setCell(19, 11, kL, Cobblestone);
    setCell(19, 13, kL, Cobblestone);
    setCell(18, 12, kL, Cobblestone);
    worldTick();
    EXPECT_EQ(cell(20, 12, kL), Water);
    EXPECT_EQ(cell(20, 13, kL), Empty);
    EXPECT_EQ(cell(21, 12, kL), Empty);
}

class Snow : public WorldTick {
protected:
    void SetUp() override {
        WorldTick::SetUp();
        weather.weatherActive = true;
        weather.weatherKind = WeatherKind::Snow;
        weather.snowCover = true;
    }
};

TEST_F(Snow, GroundOpenToTheSkyTurnsWhite) {
    setCell(3, 4, 7, Grass);
    setCell(20, 20, 0, Earth);
    setCell(0, 0, 12, Grass);
    worldTick();
    EXPECT_EQ(cell(3, 4, 7), SnowCovered);
    EXPECT_EQ(cell(20, 20, 0), SnowCovered);
    EXPECT_EQ(cell(0, 0, 12), SnowCovered);
}

TEST_F(Snow, CoveredGroundOtherBlocksAndFarColumnsStayAsTheyAre) {
    setCell(3, 4, 7, Grass);
    setCell(3, 4, 6, Planks);
    setCell(6, 6, 9, Cobblestone);
    setCell(21, 5, 3, Grass);
    setCell(5, 5, 21, Grass);
    worldTick();
    EXPECT_EQ(cell(3, 4, 7), Grass);
    EXPECT_EQ(cell(6, 6, 9), Cobblestone);
    EXPECT_EQ(cell(21, 5, 3), Grass);
}

TEST_F(Snow, OnlyTheTopOfAStackIsCovered) {
    setCell(8, 8, 10, Earth);
    setCell(8, 8, 11, Grass);
    setCell(8, 8, 20, Grass);
    worldTick();
    EXPECT_EQ(cell(8, 8, 10), SnowCovered);
    EXPECT_EQ(cell(8, 8, 11), Grass);
    EXPECT_EQ(cell(8, 8, 20), SnowCovered);
}

TEST_F(Snow, NothingSettlesWithoutBothFallingWeatherAndSnowCover) {
    setCell(3, 4, 7, Grass);
    weather.snowCover = false;
    worldTick();
    EXPECT_EQ(cell(3, 4, 7), Grass);
    weather.snowCover = true;
    weather.weatherActive = false;
    worldTick();
    EXPECT_EQ(cell(3, 4, 7), Grass);
}

TEST_F(WorldTick, TheTargetIsTheCellAheadAtBodyOrGroundHeight) {
    placePlayer(10, 10);
    player.facing = Facing::Right;
    setCell(11, 10, kL - 1, Brick);
    setCell(11, 10, kL, Planks);
    worldTick();
    EXPECT_EQ(player.targetBlock, 13);
    player.targetRaised = 0;
    worldTick();
    EXPECT_EQ(player.targetBlock, 4);
    player.facing = Facing::Up;
    setCell(10, 9, kL, Terracotta);
    worldTick();
    EXPECT_EQ(player.targetBlock, 19);
}

TEST_F(WorldTick, AutoJumpPutsThePlayerOnTopOfItsColumn) {
    placePlayer(10, 10);
    player.autoJump = true;
    setCell(10, 10, 12, Cobblestone);
    setCell(10, 10, 15, Cobblestone);
    worldTick();
    EXPECT_EQ(player.level, 12);
    setCell(10, 10, 2, Sand);
    worldTick();
    EXPECT_EQ(player.level, 2);
}

TEST_F(WorldTick, AnEmptyColumnOrAutoJumpOffLeavesTheLevel) {
    placePlayer(10, 10);
    player.autoJump = true;
    worldTick();
    EXPECT_EQ(player.level, kL);
    player.autoJump = false;
    setCell(10, 10, 9, Cobblestone);
    worldTick();
    EXPECT_EQ(player.level, kL);
}

// The tick reads the world at the level the player had when it began; only
// what the player stands on is read after auto-jump has moved it.
TEST_F(WorldTick, AFrameThatDropsThePlayerFlowsLightsAndTargetsAtTheOldLevel) {
    constexpr int kNew = kL + 3;
    placePlayer(10, 10);
    player.autoJump = true;
    player.facing = Facing::Right;
    setCell(10, 10, kNew, Lava);  // the top of the column, where the player lands
    setCell(11, 10, kL - 1, Brick);
    setCell(11, 10, kNew - 1, Planks);
    setCell(15, 15, kL, Water);
    setCell(15, 15, kNew, Water);
    worldTick();
    EXPECT_EQ(player.level, kNew);
    EXPECT_EQ(player.targetBlock, 13);
    EXPECT_EQ(cell(15, 16, kL), Water);
    EXPECT_EQ(cell(15, 16, kNew), Empty);
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain) << "by day the lava landed on burns";

    // At night lava beside the old level lights the player; none lies beside the new.
    startGame(10, 10, kL);
    worldClock.nightLevel = 3.0;
    setCell(10, 10, kNew, Cobblestone);
    setCell(10, 12, kL, Lava);
    worldTick();
    EXPECT_EQ(player.level, kNew);
    EXPECT_TRUE(player.litByLava);
}

TEST_F(WorldTick, StandingOnLavaByDayStartsAFlash) {
    placePlayer(10, 10);
    setCell(10, 10, kL, Lava);
    player.onWater = true;
    worldTick();
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain);
    EXPECT_FALSE(player.onWater);
    EXPECT_FALSE(player.litByLava);
}

TEST_F(WorldTick, AtNightLavaLightsThePlayerInsteadOfHurtingIt) {
    placePlayer(10, 10);
    setCell(10, 10, kL, Lava);
    setCell(12, 10, kL, Lava);
    worldClock.nightLevel = 1.0;
    worldTick();
    EXPECT_EQ(player.hurtFlash, HurtFlash::Off);
    EXPECT_TRUE(player.litByLava);
    worldClock.nightLevel = 0.0;
    worldTick();
    EXPECT_FALSE(player.litByLava);
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain);
}

TEST_F(WorldTick, OnlyLavaAtTheEightLitCellsLightsThePlayer) {
    placePlayer(10, 10);
    worldClock.nightLevel = 3.0;
    setCell(11, 11, kL, Lava);  // diagonal: not one of the eight
    setCell(10, 13, kL, Lava);  // three away
    setCell(10, 9, kL - 1, Lava);
    worldTick();
    EXPECT_FALSE(player.litByLava);
    setCell(10, 8, kL, Lava);
    worldTick();
    EXPECT_TRUE(player.litByLava);
}

TEST_F(WorldTick, WaterUnderfootIsNotedByDayOnly) {
    placePlayer(10, 10);
    setCell(10, 10, kL, Water);
    worldTick();
    EXPECT_TRUE(player.onWater);
    setCell(10, 10, kL, Cobblestone);
    worldClock.nightLevel = 2.0;
    worldTick();
    EXPECT_TRUE(player.onWater);
    worldClock.nightLevel = 0.0;
    worldTick();
    EXPECT_FALSE(player.onWater);
}

TEST_F(WorldTick, ATriggerOfOneToFourStartsTheWeather) {
    for (int trigger : {0, 5, 300}) {
        weather.weatherTrigger = trigger;
        worldTick();
        EXPECT_FALSE(weather.weatherActive) << trigger;
    }
    for (int trigger : {1, 4}) {
        weather.weatherActive = false;
        weather.weatherTrigger = trigger;
        worldTick();
        EXPECT_TRUE(weather.weatherActive) << trigger;
    }
}

// The tick looks only at what writes have woken. Against it, the pass as the
// game first ran it: every column in the bounds, every frame, in place; and
// in a larger world every liquid looked at on every step.
namespace {

void fullPass(WorldGrid& g, int level, bool snowing) {
    constexpr int dx[4] = {0, 0, -1, 1}, dy[4] = {1, -1, 0, 0};
    for (int i = 0; i <= g.maxX; ++i)
        for (int j = 0; j <= g.maxY; ++j) {
            for (int k = 0; snowing && k <= kLowestLevel; ++k) {
                BlockId id = cellOf(g, i, j, k);
                if ((id == Grass || id == Earth) && cellOf(g, i, j, k - 1) == Empty)
                    setCellOf(g, i, j, k, SnowCovered);
            }
            if (i < 1 || i >= g.maxX || j < 1 || j >= g.maxY) continue;
            const BlockId id = cellOf(g, i, j, level);
            if (id != Water && id != Lava) continue;
            for (int n = 0; n < 4; ++n)
                if (cellOf(g, i + dx[n], j + dy[n], level) == Empty)
                    setCellOf(g, i + dx[n], j + dy[n], level, id);
            for (int n = 0; id == Lava && n < 4; ++n)
                if (cellOf(g, i + dx[n], j + dy[n], level) == Water)
                    setCellOf(g, i + dx[n], j + dy[n], level, HardRock);
        }
}

// Random ground, liquids here and there, the player moving between levels,
// snow coming and going and cells mined and poured between frames: every
// cell must come out as the full pass leaves it, frame after frame.
void expectSameAsFullPass(int size, unsigned seed, int frames) {
    auto wake = std::make_unique<WorldGrid>(), full = std::make_unique<WorldGrid>();
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % n); };
    constexpr BlockId kinds[] = {Empty, Empty, Empty,       Empty, Empty, Empty,
                                 Grass, Earth, Cobblestone, Water, Lava};
    for (WorldGrid* g : {wake.get(), full.get()}) g->maxX = g->maxY = size;
    for (int x = 0; x <= size; ++x)
        for (int y = 0; y <= size; ++y)
            for (int l = 0; l <= kLowestLevel; ++l) {
                const BlockId id = kinds[pick(std::size(kinds))];
                setCellOf(*wake, x, y, l, id);
                setCellOf(*full, x, y, l, id);
            }
    WeatherState sky;
    sky.weatherKind = WeatherKind::Snow;
    WorldClock clock;
    WeatherState fullSky = sky;
    WorldClock fullClock;
    PlayerState p;
    p.autoJump = false;
    for (int frame = 0; frame < frames; ++frame) {
        if (pick(8) == 0) p.level = pick(kLowestLevel + 1);
        if (pick(30) == 0) sky.weatherActive = !sky.weatherActive;
        for (int edit = pick(4); edit > 0; --edit) {
            const int x = pick(size + 1), y = pick(size + 1), l = pick(kLowestLevel + 1);
            const BlockId id = kinds[pick(std::size(kinds))];
            setCellOf(*wake, x, y, l, id);
            setCellOf(*full, x, y, l, id);
        }
        if (size > kBandEdge) {
            // A larger world's streams: the full look is every liquid looked
            // at again, as after a load.
            fullSky.weatherActive = sky.weatherActive;
            full->revision += 1;
            advanceClocks(World{*full, fullSky, fullClock});
            worldTick(World{*full, fullSky, fullClock}, p);
            advanceClocks(World{*wake, sky, clock});
        } else {
            fullPass(*full, p.level, sky.weatherActive && sky.snowCover);
        }
        worldTick(World{*wake, sky, clock}, p);
        ASSERT_TRUE(
            std::equal(std::begin(wake->cells), std::end(wake->cells), std::begin(full->cells)))
            << "size " << size << ", seed " << seed << ": apart after frame " << frame;
    }
}

}  // namespace

TEST(WorldTickWake, EveryCellAsTheFullPassLeavesIt) {
    for (unsigned seed : {1u, 2u, 3u}) expectSameAsFullPass(20, seed, 400);
    for (unsigned seed : {4u, 5u}) expectSameAsFullPass(64, seed, 120);
}

TEST_F(WorldTick, CellsWrittenAroundTheWakesStillFlow) {
    worldTick();  // the tick has looked at everything: all is asleep
    // As a whole band from the network lands: straight into the cells.
    world.cells[cellIndex(5, 5, kL)] = Water;
    ++world.revision;
    worldTick();
    EXPECT_EQ(cell(5, 20, kL), Water);
    EXPECT_EQ(cell(4, 5, kL), Water);
}
