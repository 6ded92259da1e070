// The real side of the game logic's seams: Allegro's keyboard and key names,
// a real sleep, and the quit signals.
#pragma once

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

// Binds the keyboard snapshot and the toggle pause to Allegro.
void installPlatformSeams();
// Gives the settings and the controls panel Allegro's key names.
void installKeyNames();
// SIGINT, SIGTERM and SIGHUP ask the game to quit like the window's close button; a
// second one while quitting ends the process at once, killed by that signal.
void installQuitSignals();
// True once a quit signal has arrived.
bool quitSignalled();
