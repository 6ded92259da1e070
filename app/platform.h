// The real side of the game logic's seams: Allegro's keyboard and key names,
// a real sleep, and the quit signals.
#pragma once

#include <allegro5/allegro.h>

#include "game/frame_step.h"
#include "game/key_bindings.h"

// The keyboard and the toggle pause are seams: the game binds them to
// Allegro and a real sleep, tests to plain functions. A null function means
// "no key down" or "no pause".
using KeySnapshotFn = void (*)();  // takes this tick's keyboard snapshot
void setKeyboard(KeySnapshotFn snapshot, KeyDownFn keyDown);
void setPause(PauseFn pause);
void takeKeyboardSnapshot();
// Asks this tick's snapshot; never null.
KeyDownFn keyboardKeyDown();
PauseFn togglePause();

// Binds the keyboard and the toggle pause to Allegro: a tick sees the keys
// as the key events taken before it left them.
void installPlatformSeams();
// Key downs and ups, and the window losing the keyboard, as the loop takes them.
void noteKeyEvent(const ALLEGRO_EVENT& event);
// Gives the settings and the controls panel Allegro's key names.
void installKeyNames();
// SIGINT, SIGTERM and SIGHUP ask the game to quit like the window's close button; a
// second one while quitting ends the process at once, killed by that signal.
void installQuitSignals();
// True once a quit signal has arrived.
bool quitSignalled();
