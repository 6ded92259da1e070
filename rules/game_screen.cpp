// The screen flags and intro clocks; the app shell and the clocks share them.
#include "rules/game_screen.h"

GameScreen gameScreen;
