// How the 640 x 480 picture reaches a window of any size: scaled by the
// largest whole factor that fits, centred, every game pixel an exact square,
// black around it; and how the pointer maps back into the picture.
#pragma once

#include <allegro5/allegro.h>

struct Placement {
    int scale = 1;     // each picture pixel is scale x scale window pixels
    int x = 0, y = 0;  // the picture's top-left corner in the window
};

// The largest whole factor at which the picture fits the given area; at
// least 1, even where nothing fits.
int largestScale(int width, int height);
Placement placePicture(int windowWidth, int windowHeight);
// The picture pixel under a window point; false on the black around it.
bool windowToPicture(const Placement& placement, int windowX, int windowY, int* x, int* y);

// The placement in the current window (1 : 1 without a window).
Placement currentPlacement();
// Draws the picture into the window's back buffer as placed; the caller flips.
void presentPicture(ALLEGRO_BITMAP* picture);
// A pointer position in window coordinates, kept and mapped into the
// picture's PointerState; a point on the black around it hits nothing.
void pointerAt(int windowX, int windowY);
// Maps the last pointer position again, after the window changed size.
void remapPointer();
