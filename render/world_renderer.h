// The isometric world: blocks back to front, the player among them, the crack.
#pragma once

#include "game/frame_step.h"

// The world pass. Cells before the figure in the painter's order are placed
// with the level scroll the frame began with, the rest with the current one.
void drawWorld(const GameView& game, const GameFrame& frame);
void drawPlayer(const GameView& game, bool ghost);
