// The game's window: its size at start, fullscreen, and the keys that act on
// the window rather than on the game (Alt+Enter, F12).
#pragma once

#include <allegro5/allegro.h>

#include "game/key_bindings.h"

// Opens the window titled "Tessaria" at the size kept in the settings, or
// else at the largest whole multiple of the picture that fits the desktop
// with its frame; fullscreen when the settings say so. Null on failure.
ALLEGRO_DISPLAY* openWindow();
// Alt+Enter switches fullscreen at once; F12 asks for a screenshot of the
// next drawn picture. Once per timer tick, with the keys pressed since the
// last one (a tap included) and the keys held.
void pollWindowKeys(KeyDownFn pressed, KeyDownFn held);
// True once, after F12 was pressed.
bool takeScreenshotRequest();
// The window changed size (a resize, or fullscreen coming or going).
void windowResized();
// Keeps the window's size and fullscreen state in the settings file; false
// when the file was not written.
bool keepWindowSettings();
// The largest whole multiple of the picture that fit the desktop when the
// window opened (1 without a window).
int fittingWindowScale();
// The windowed size as a whole multiple of the picture; 0 when it is none
// (the player dragged its edge).
int windowScale();
// Leaves fullscreen and sizes the window to the multiple; both are kept in
// the settings file at once (false when it was not written).
bool setWindowScale(int scale);
bool windowFullscreen();
// As Alt+Enter does, and kept in the settings file at once (false when it
// was not written).
bool setWindowFullscreen(bool on);
