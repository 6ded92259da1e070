// Bringing the program up and taking it down.
#pragma once

#include <allegro5/allegro.h>

// The library objects of the run, made by initialise.
struct AppObjects {
    ALLEGRO_DISPLAY* display = nullptr;
    ALLEGRO_TIMER* timer = nullptr;
    ALLEGRO_EVENT_QUEUE* queue = nullptr;
};
extern AppObjects app;

// Chooses where the player's files live and takes the world's lock for the
// whole run; false (said in one line) when there is no home folder or another
// copy of the game has the world. Before initialise, which needs the paths.
bool claimWorld();
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
