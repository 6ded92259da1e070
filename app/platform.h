// The real side of the game logic's seams: Allegro's keyboard and key names,
// a real sleep, and the quit signals.
#pragma once

// Binds the keyboard snapshot and the toggle pause to Allegro.
void installPlatformSeams();
// Gives the settings and the controls panel Allegro's key names.
void installKeyNames();
// SIGINT, SIGTERM and SIGHUP ask the game to quit like the window's close button; a
// second one while quitting ends the process at once, killed by that signal.
void installQuitSignals();
// True once a quit signal has arrived.
bool quitSignalled();
