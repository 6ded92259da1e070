// Which screen is shown, the menu's last choice, and the clocks of the intro
// and the title slogan: what only the screens need, kept by the app.
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
    MenuBackToGame = 6,  // offered while a session runs behind the menu
    MenuOptions = 7,
};

// Worlds: the list of the player's worlds and its new-world panel. Paused:
// the pause menu over the game, which waits behind it unless it is shared.
// Options: the keys rebound, from the title menu or the pause menu.
enum class Screen : std::int32_t { Intro, Menu, Game, Worlds, Paused, Options };

// Which button of the menu shown looks chosen: the one under the pointer, or
// the one the keys moved to. One at most, so the keys and the mouse never
// light two rows at once.
struct ButtonFocus {
    std::int32_t row = -1;                // -1: none
    bool byPointer = false;               // the pointer chose it, so leaving it clears it
    std::int32_t seenX = -1, seenY = -1;  // the pointer when last looked at
    std::int32_t pressedRow = -1;         // a press began on this button
};

struct GameScreen {
    std::int32_t runState = kRunning;  // 2 once quitting has been asked for
    Screen screen = Screen::Intro;
    std::int32_t menuSelection = MenuNone;  // last button clicked
    // The title menu's row last taken, chosen again whenever the menu shows,
    // so that Enter works at once: single player at first.
    std::int32_t titleRow = 0;
    // The intro's clock runs from the set-up for 160 ticks, even once Escape
    // has put the menu over it.
    bool introRunning = false;
    std::int32_t introStage = 0;        // which intro slogan, 0..4
    std::int32_t introTicks = 0;        // ticks since the intro began
    bool sloganBlinkOn = false;         // title slogan drawn this frame
    std::int32_t sloganBlinkTicks = 0;  // 0..30
    ButtonFocus focus;
};
extern GameScreen gameScreen;

// The intro from its first picture.
void startIntro();
// The intro and the slogan blink, once per timer tick whatever the screen.
void advanceScreenClocks();
// Escape: the menu, without a panel, its last row chosen; the game stays as it is.
void escapeToMenu();
// The pause menu over the game, and back from it.
void openPauseMenu();
void backToGame();
