// The options screen: the controls rebound by pressing the key wanted, the
// window, the classic picture, the effects' volume and what a joined world
// shows, each change applied and written to the settings file at once.
#pragma once

#include <string>

#include "app/game_screen.h"

// From the title menu, the pause menu or (by its key) the game; Escape goes
// back there.
void openOptions(Screen from);
// The world waits while the options were opened over a single player's game.
bool optionsOverGame();
// A key pressed this tick while the screen is shown: Up, Down and Enter
// choose, Tab goes to the next group, Left and Right change a value, Escape
// goes back; while waiting for a key, the key for the action.
void optionsKey(int keycode);
// Once per event: a click on a row waits for its key.
void updateOptions();
void drawOptions();
// What the screen says under its rows, after the last key.
const std::string& optionsMessage();
