// The screens' own clocks, once per timer tick: the intro's five slogans and
// its end, and the title slogan's blink.
#include <gtest/gtest.h>

#include "app/game_screen.h"

namespace {

class ScreenClocks : public ::testing::Test {
protected:
    void SetUp() override { gameScreen = GameScreen{}; }

    static void advance(int count) {
        for (int n = 0; n < count; ++n) advanceScreenClocks();
    }
};

TEST_F(ScreenClocks, TheIntroShowsFiveSlogansThenTheMenu) {
    startIntro();
    const int at[] = {29, 30, 60, 90, 119, 120, 159};
    const int stage[] = {0, 1, 2, 3, 3, 4, 4};
    int done = 0;
    for (int n = 0; n < 7; ++n) {
        advance(at[n] - done);
        done = at[n];
        EXPECT_EQ(gameScreen.introStage, stage[n]) << "tick " << at[n];
        EXPECT_EQ(gameScreen.screen, Screen::Intro);
    }
    advance(1);
    EXPECT_FALSE(gameScreen.introRunning);
    EXPECT_EQ(gameScreen.screen, Screen::Menu);
    EXPECT_EQ(gameScreen.introStage, 0);
    EXPECT_EQ(gameScreen.introTicks, 0);
    advance(50);
    EXPECT_EQ(gameScreen.introTicks, 0);
}

TEST_F(ScreenClocks, AGameEnteredDuringTheIntroStaysShownWhenTheIntroEnds) {
    startIntro();
    advance(40);
    escapeToMenu();
    gameScreen.screen = Screen::Game;  // "single player" clicked
    advance(120);
    EXPECT_FALSE(gameScreen.introRunning);
    EXPECT_EQ(gameScreen.screen, Screen::Game);
}

TEST_F(ScreenClocks, TheSloganBlinksFifteenTicksOffAndFifteenOn) {
    gameScreen.sloganBlinkOn = true;
    advance(14);
    EXPECT_TRUE(gameScreen.sloganBlinkOn);
    advance(1);
    EXPECT_FALSE(gameScreen.sloganBlinkOn);
    advance(14);
    EXPECT_FALSE(gameScreen.sloganBlinkOn);
    advance(1);
    EXPECT_TRUE(gameScreen.sloganBlinkOn);
    EXPECT_EQ(gameScreen.sloganBlinkTicks, 0);
}

}  // namespace
