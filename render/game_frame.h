// One picture of the game screen: sky, night, world, weather, HUD and hotbar.
#pragma once

#include "game/frame_step.h"

// Runs the frame step, draws the frame from cached layers once
// prepareRenderer() has run (and cached drawing is on), else straight, and
// asks for the frame's sounds. Both drawings give the same pixels.
void drawGameFrame();
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

// The game frame asks for sounds by file name; app/ installs the sample cache.
using SoundRequestFn = bool (*)(const char* name);
void setSoundRequest(SoundRequestFn request);
