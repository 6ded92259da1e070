// One picture of the game screen: sky, night, world, weather, HUD and hotbar.
#pragma once

#include "game/frame_step.h"

// Draws the game as the frame step left it, from cached layers once
// prepareRenderer() has run (and cached drawing is on), else straight. Both
// drawings give the same pixels; neither changes the game.
void drawGameFrame(const GameFrame& frame);
// Every draw of the frame in the painter's order, nothing kept between
// frames: the reference the cached drawing is measured and checked against.
void drawGameFrameStraight(const GameView& game, const GameFrame& frame);
void drawWeather(const GameView& game);

// Builds the atlas and the cache bitmaps from the loaded pictures, in the
// bitmap kind of the frame buffer (after the display exists, in the game).
// False when they cannot be made; frames are then drawn straight.
bool prepareRenderer();
void releaseRenderer();
// Switches between the cached and the straight drawing (on by default).
void setCachedDrawing(bool on);
