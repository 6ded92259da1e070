// The game frame drawn from cached layers.
#pragma once

// Draws the game frame from the caches; false (having drawn and changed
// nothing) when they are not prepared, switched off, or the target is not a
// frame buffer of the screen's size.
bool drawCachedGameFrame();
