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
