// The running life of the program: events acted on one by one, and a full
// frame drawn for each, or for each batch when the machine falls behind.
#pragma once

#include <allegro5/allegro.h>

// Runs until the game quits. False when the world could not be saved.
bool runMainLoop();

// One pass of the loop for one event: the event's effect, then the frame drawn
// into the frame buffer. False once the loop is to end (the world has been
// saved and the last frame drawn).
bool processEvent(const ALLEGRO_EVENT& event);
// The same pass, drawing only when `draw` is set: an undrawn pass still acts
// on its event, runs its tick and steps the world for a timer tick.
bool processEvent(const ALLEGRO_EVENT& event, bool draw);
// A key event: typing into a text field, and a key-down remembered for the
// next tick, so a tap shorter than a tick still counts there.
void processKeyEvent(const ALLEGRO_EVENT& event);
// Shows the frame buffer in the window, scaled to fit, and flips; nothing
// without a window.
void showFrame();
// True when the save on quitting failed.
bool saveFailed();

// One game frame as the loop makes it: the frame step, the drawing, and the
// sounds the step asked for.
void playGameFrame();
