// Which screens are shown and the clocks of the intro and the title slogan.
#pragma once

#include <cstdint>

constexpr int kRunning = 1;
constexpr int kQuitting = 2;

// Menu selections, as the title menu's buttons write them.
enum : std::int32_t {
    MenuNone = 0,
    MenuSinglePlayer = 1,
    MenuMultiplayer = 2,
    MenuCredits = 3,
    MenuExit = 4,
    MenuControls = 5,
};

struct GameScreen {
    std::int32_t runState = kRunning;  // 2 once quitting has been asked for
    bool introShown = false;
    bool menuShown = false;
    bool gameShown = false;
    std::int32_t menuSelection = MenuNone;  // last button clicked
    std::int32_t introStage = 0;            // which intro slogan, 0..4
    std::int32_t introTicks = 0;            // ticks since the intro began
    bool sloganBlinkOn = false;             // title slogan drawn this frame
    std::int32_t sloganBlinkTicks = 0;      // 0..30
};
extern GameScreen gameScreen;
