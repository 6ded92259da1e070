// The screen shown and the intro and slogan clocks.
#include "app/game_screen.h"

GameScreen gameScreen;

namespace {

constexpr int kIntroStageTicks[4] = {30, 60, 90, 120};
constexpr int kIntroEndTick = 160;
constexpr int kBlinkOffTick = 15;
constexpr int kBlinkCycleTicks = 30;

void advanceSloganBlink() {
    gameScreen.sloganBlinkTicks += 1;
    if (gameScreen.sloganBlinkTicks == kBlinkOffTick) gameScreen.sloganBlinkOn = false;
    if (gameScreen.sloganBlinkTicks >= kBlinkCycleTicks) {
        gameScreen.sloganBlinkOn = true;
        gameScreen.sloganBlinkTicks = 0;
    }
}

void advanceIntro() {
    if (!gameScreen.introRunning) return;
    gameScreen.introTicks += 1;
    for (int stage = 0; stage < 4; ++stage) {
        if (gameScreen.introTicks == kIntroStageTicks[stage]) gameScreen.introStage = stage + 1;
    }
    if (gameScreen.introTicks >= kIntroEndTick) {
        gameScreen.introRunning = false;
        gameScreen.introStage = 0;
        gameScreen.introTicks = 0;
        if (gameScreen.screen == Screen::Intro) escapeToMenu();
    }
}

}  // namespace

void startIntro() {
    gameScreen.screen = Screen::Intro;
    gameScreen.introRunning = true;
}

void advanceScreenClocks() {
    advanceSloganBlink();
    advanceIntro();
}

void escapeToMenu() {
    gameScreen.screen = Screen::Menu;
    gameScreen.menuSelection = MenuNone;
    gameScreen.focus = ButtonFocus{};
    gameScreen.focus.row = gameScreen.titleRow;
}

void openPauseMenu() {
    gameScreen.screen = Screen::Paused;
    gameScreen.focus = ButtonFocus{};
    gameScreen.focus.row = 0;  // Enter at once goes back, as Escape does
}

void backToGame() {
    gameScreen.screen = Screen::Game;
    gameScreen.focus = ButtonFocus{};
}
