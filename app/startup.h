// Bringing the program up and taking it down.
#pragma once

#include <allegro5/allegro.h>

#include <string>

// The library objects of the run, made by initialise.
struct AppObjects {
    ALLEGRO_DISPLAY* display = nullptr;
    ALLEGRO_TIMER* timer = nullptr;
    ALLEGRO_EVENT_QUEUE* queue = nullptr;
};
extern AppObjects app;

// Chooses where the player's files live and takes in the world from before
// the list of worlds. With a world's name (its folder's or its own), claims
// that world to start at once, without the intro and the menu. False (said in
// one line) when there is no home folder, no such world, or another copy of
// the game has it open. Before initialise, which needs the paths.
bool claimWorld(const std::string& name);
// Start-up; ends on the intro, or in the world claimed.
bool initialise();
// The automatically chosen audio driver with one reserved voice; false when
// there is no sound.
bool installAudio();
bool loadAssets();
ALLEGRO_BITMAP* loadMaskedBitmap(const char* path);
bool loadFonts();
void shutdown();

// Prints the one start-up failure line, naming what failed.
void reportStartupFailure(const char* what);
