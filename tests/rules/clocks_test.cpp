// The per-tick clocks: day and night, weather spells, tile animation and the
// hurt flash.
#include <gtest/gtest.h>

#include "support/fresh_game.h"

using namespace fresh;

class Clocks : public ::testing::Test {
protected:
    void SetUp() override { startGame(); }

    void advance(int count) {
        for (int n = 0; n < count; ++n) tickGame(PlayerIntent{}, nullptr);
    }
};

TEST_F(Clocks, NightFallsAndLiftsAtTheTableTicks) {
    struct Mark {
        int tick;
        double night;
    };
    const Mark marks[] = {
        {1, 0.0},     {7999, 0.0},  {8000, 1.0},  {8029, 1.0},  {8030, 2.0},
        {8060, 3.0},  {8089, 3.0},  {8090, 4.0},  {8109, 4.0},  {8110, 5.0},
        {16139, 5.0}, {16140, 4.0}, {16170, 3.0}, {16200, 2.0}, {16230, 1.0},
        {16319, 1.0}, {16320, 0.0}, {16321, 0.0}, {24320, 1.0},
    };
    int done = 0;
    for (const Mark& mark : marks) {
        advance(mark.tick - done);
        done = mark.tick;
        EXPECT_EQ(worldClock.nightLevel, mark.night) << "tick " << mark.tick;
    }
    EXPECT_EQ(worldClock.dayTick, 8000);
}

TEST_F(Clocks, ANewDayStartsAtTickZero) {
    advance(16320);
    EXPECT_EQ(worldClock.dayTick, 0);
    EXPECT_EQ(worldClock.nightLevel, 0.0);
}

TEST_F(Clocks, ASpellLastsTwoHundredAndOneCycles) {
    weather.weatherActive = true;
    weather.snowCover = true;
    advance(3014);
    EXPECT_TRUE(weather.weatherActive);
    EXPECT_EQ(weather.weatherCycles, 200);
    advance(1);
    EXPECT_FALSE(weather.weatherActive);
    EXPECT_FALSE(weather.snowCover);
    EXPECT_EQ(weather.weatherCycles, 0);
    EXPECT_EQ(weather.weatherTick, 0);
    advance(100);
    EXPECT_EQ(weather.weatherTick, 0);
}

TEST_F(Clocks, TheWeatherStripShowsFramesZeroTwoAndThree) {
    weather.weatherActive = true;
    const int expected[16] = {0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 0};
    for (int tick = 1; tick <= 15; ++tick) {
        advance(1);
        EXPECT_EQ(weather.weatherAnimFrame, expected[tick]) << "tick " << tick;
    }
    EXPECT_EQ(weather.weatherCycles, 1);
}

TEST_F(Clocks, ATriggerInOneToFourBringsTheWeatherBackAfterASpell) {
    weather.weatherActive = true;
    weather.weatherTrigger = 3;
    advance(3015);
    ASSERT_FALSE(weather.weatherActive);
    worldTick();
    EXPECT_TRUE(weather.weatherActive);
}

TEST_F(Clocks, OtherTriggersLeaveTheWeatherOffAfterASpell) {
    weather.weatherActive = true;
    weather.weatherTrigger = 5;
    advance(3015);
    worldTick();
    EXPECT_FALSE(weather.weatherActive);
}

TEST_F(Clocks, TilesChangeFrameEveryTwentyTicks) {
    const int at[] = {19, 20, 39, 40, 60, 79, 80, 100};
    const int frame[] = {0, 1, 1, 2, 3, 3, 0, 1};
    int done = 0;
    for (int n = 0; n < 8; ++n) {
        advance(at[n] - done);
        done = at[n];
        EXPECT_EQ(worldClock.blockAnimFrame, frame[n]) << "tick " << at[n];
    }
    EXPECT_EQ(worldClock.blockAnimTick, 20);
}

TEST_F(Clocks, TheHurtFlashIsRedTwiceInSeventyFiveTicks) {
    player.hurtFlash = HurtFlash::Plain;
    const int at[] = {14, 15, 29, 30, 44, 45, 59, 60, 74, 75};
    using H = HurtFlash;
    const HurtFlash flash[] = {H::Plain, H::Red, H::Red,   H::Plain, H::Plain,
                               H::Red,   H::Red, H::Plain, H::Plain, H::Off};
    int done = 0;
    for (int n = 0; n < 10; ++n) {
        advance(at[n] - done);
        done = at[n];
        EXPECT_EQ(player.hurtFlash, flash[n]) << "tick " << at[n];
    }
    EXPECT_EQ(player.hurtFlashTick, 0);
    advance(10);
    EXPECT_EQ(player.hurtFlashTick, 0);
}

TEST_F(Clocks, StayingOnLavaByDayStartsTheNextFlashAfterTheLast) {
    player.level = 5;
    setCell(player.x, player.y, 5, Lava);
    worldTick();
    advance(74);
    worldTick();
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain);
    EXPECT_EQ(player.hurtFlashTick, 74);
    advance(1);
    EXPECT_EQ(player.hurtFlash, HurtFlash::Off);
    worldTick();
    EXPECT_EQ(player.hurtFlash, HurtFlash::Plain);
    EXPECT_EQ(player.hurtFlashTick, 0);
}

TEST_F(Clocks, TheClocksRunOnEveryTimerTickWhateverTheScreen) {
    ticks(40);
    EXPECT_EQ(worldClock.dayTick, 40);
    EXPECT_EQ(worldClock.blockAnimFrame, 2);
}
