// The start of a run: defaults, the random start on the diagonal, the weather.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/paths.h"
#include "game/player_record.h"
#include "game/settings.h"
#include "game/world_save.h"
#include "game/world_setup.h"
#include "support/files.h"
#include "support/fresh_game.h"
#include "support/temp_folder.h"

class WorldSetUp : public ::testing::Test {
protected:
    void SetUp() override {
        fresh::startGame();
        player = PlayerState{};
        camera = Camera{};
        world.maxX = 0;
        world.maxY = 0;
    }
    TempFolder folder;
};

TEST_F(WorldSetUp, WithoutAFileTheRunStartsEmptyWithFullCountsAndTheDefaults) {
    setCell(4, 4, 4, Gravel);  // left over: the band is filled from the (missing) file
    setUpWorld();
    EXPECT_EQ(cell(4, 4, 4), Empty);
    EXPECT_EQ(world.maxX, 20);
    EXPECT_EQ(world.maxY, 20);
    const BlockId hotbar[9] = {1, 6, 2, 4, 13, 18, 19, 5, 8};
    for (int slot = 0; slot < 9; ++slot) EXPECT_EQ(player.hotbar[slot], hotbar[slot]);
    for (int id = 0; id < 23; ++id) EXPECT_EQ(player.blockCounts[id], 100) << id;
    EXPECT_EQ(player.facing, Facing::Down);
    EXPECT_EQ(player.spriteGroup, 1);
    EXPECT_EQ(player.spriteRow, 0);
    EXPECT_EQ(player.targetRaised, 1);
    EXPECT_TRUE(player.autoJump);
    EXPECT_EQ(player.selectedSlot, 0);
    EXPECT_EQ(player.level, 0);
}

TEST_F(WorldSetUp, TheWeatherTriggerIsDrawnOnceAtTheStartOfTheSetUp) {
    weather = WeatherState{};
    setUpWorld();
    EXPECT_EQ(weather.weatherTrigger, 0) << "the set-up proper leaves it alone";
    bool seen[301] = {};
    for (int run = 0; run < 600; ++run) {
        beginWorldSetUp();
        ASSERT_GE(weather.weatherTrigger, 0);
        ASSERT_LE(weather.weatherTrigger, 300);
        seen[weather.weatherTrigger] = true;
    }
    int kinds = 0;
    for (bool s : seen) kinds += s;
    EXPECT_GT(kinds, 100);
}

TEST_F(WorldSetUp, ThePlayerStartsOnTheDiagonalWithTheViewOnIt) {
    bool seen[21] = {};
    for (int run = 0; run < 300; ++run) {
        setUpWorld();
        ASSERT_EQ(player.x, player.y);
        ASSERT_GE(player.x, 5);
        ASSERT_LE(player.x, 15);
        EXPECT_EQ(camera.offsetX, 0);
        EXPECT_EQ(camera.offsetY, -32 * player.x);
        seen[player.x] = true;
        EXPECT_TRUE(weather.weatherKind == WeatherKind::Rain ||
                    weather.weatherKind == WeatherKind::Snow);
    }
    for (int v = 5; v <= 15; ++v) EXPECT_TRUE(seen[v]) << v;
}

// A file from before the player's record was kept: its world lines alone.
void keepWorldLinesOnly() {
    std::vector<std::string> lines = splitLines(readText(worldFile()));
    lines.resize(8002);
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    writeText(worldFile(), text);
}

TEST_F(WorldSetUp, TheFilesPlayerLinesNeverDecideTheStart) {
    setCell(0, 0, 0, Explosive);
    player.x = 2;
    player.y = 19;
    ASSERT_TRUE(saveWorld());
    keepWorldLinesOnly();
    for (int run = 0; run < 20; ++run) {
        setUpWorld();
        EXPECT_EQ(player.x, player.y);
        EXPECT_EQ(cell(0, 0, 0), Explosive);
    }
}

TEST_F(WorldSetUp, AKeptRecordStartsTheRunWhereAndAsTheLastOneStopped) {
    fresh::startRun(2, 19, 7);
    player.facing = Facing::Left;
    player.spriteRow = 5;
    player.spriteGroup = 0;
    player.targetRaised = 0;
    player.autoJump = false;
    player.selectedSlot = 3;
    player.hotbar[8] = Ice;
    player.blockCounts[Lava] = 0;
    player.blockCounts[Ice] = 812;
    const PlayerRecord stopped = recordOf(player);
    ASSERT_TRUE(saveWorld());
    player = PlayerState{};
    setUpWorld();
    EXPECT_EQ(recordOf(player), stopped);
    EXPECT_EQ(camera.offsetX, 32 * (19 - 2));
    EXPECT_EQ(camera.offsetY, -16 * (2 + 19));
}

// The classic game writes the plain 8,002 lines and starts on the diagonal
// even where a record was kept.
TEST_F(WorldSetUp, TheClassicGameNeitherWritesNorFollowsARecord) {
    fresh::startRun(2, 19, 7);
    player.blockCounts[Ice] = 812;
    ASSERT_TRUE(saveWorld());
    settings.classic = true;
    setUpWorld();
    EXPECT_EQ(player.x, player.y) << "on the diagonal";
    EXPECT_EQ(player.blockCounts[Ice], 100);
    setCell(0, 0, 0, Planks);  // a change, so that the quit writes
    ASSERT_TRUE(saveWorld());
    settings.classic = false;
    EXPECT_EQ(splitLines(readText(worldFile())).size(), 8002u);
}

TEST_F(WorldSetUp, AKeptRecordOutsideTheWorldStartsOnTheDiagonalWithTheRestKept) {
    fresh::startRun(2, 19, 7);
    player.selectedSlot = 5;
    ASSERT_TRUE(saveWorld());
    std::string text = readText(worldFile());
    const std::size_t x = text.find("player.x = 2\n");
    ASSERT_NE(x, std::string::npos);
    text.replace(x, 12, "player.x = 21");
    writeText(worldFile(), text);
    player = PlayerState{};
    setUpWorld();
    EXPECT_EQ(player.x, player.y);
    EXPECT_GE(player.x, 5);
    EXPECT_EQ(player.level, 0);
    EXPECT_EQ(player.selectedSlot, 5);
}

TEST_F(WorldSetUp, WeatherFallsFromTheStartOfASavedWorldInRoughlyOneRunOfSix) {
    ASSERT_TRUE(saveWorld());
    int active = 0;
    for (int run = 0; run < 600; ++run) {
        weather.weatherActive = false;
        setUpWorld();
        active += weather.weatherActive ? 1 : 0;
    }
    EXPECT_GT(active, 50);
    EXPECT_LT(active, 160);
}

TEST_F(WorldSetUp, AWorldsFirstRunBeginsInTheMorningUnderAClearSky) {
    for (int run = 0; run < 60; ++run) {
        worldClock.dayTick = 9000;
        worldClock.nightLevel = 5;
        weather.weatherActive = true;
        weather.weatherCycles = 120;
        setUpWorld();
        ASSERT_EQ(worldClock.dayTick, 0);
        ASSERT_EQ(worldClock.nightLevel, 0);
        ASSERT_FALSE(weather.weatherActive);
        ASSERT_EQ(weather.weatherCycles, 0);
    }
    // A saved world's clock runs on, and the classic game's too.
    setCell(0, 0, 0, Planks);  // a change, so that the save writes
    ASSERT_TRUE(saveWorld());
    worldClock.dayTick = 9000;
    worldClock.nightLevel = 5;
    setUpWorld();
    EXPECT_EQ(worldClock.nightLevel, 5);
    std::remove(worldFile().c_str());
    settings.classic = true;
    setUpWorld();
    settings.classic = false;
    EXPECT_EQ(worldClock.nightLevel, 5);
}
