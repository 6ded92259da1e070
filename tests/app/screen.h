// What the screen shows: pixels read straight from the X server, screenshots
// kept as test artefacts, and comparisons with the game's own pictures.
#pragma once

#include <string>

#include "app/x_server.h"
#include "support/bmp_file.h"

Pixel pixelAt(const XServer& server, int x, int y);
// The whole screen, read in one request.
Image grabScreen(const XServer& server);
// Saves a screenshot of the whole screen as a test artefact; returns its path.
std::string saveScreenshot(const XServer& server, const std::string& name);
// Pixels of the picture's region (px, py, w, h) that are drawn (not the pure
// black that loading turns transparent) and that differ by more than
// `tolerance` in some channel from the screen, the region placed at (sx, sy).
int differingPixels(const Image& screen, int sx, int sy, const Image& picture, int px, int py,
                    int w, int h, int tolerance = 1);
// The screen once two grabs a tenth of a second apart show the same world
// (the view has stopped moving), or the last grab when the time is up.
Image settledScreen(const XServer& server, double seconds);
// True when the world in `now` is the world in `before` carried by the camera
// a whole number of quarters of a step of (stepX, stepY) screen pixels, up
// to four steps, rather than where it was: the player has stepped. The
// middle of the screen, where the figure turns and walks, and the hotbar are
// left out; rain and snow differ either way and do not decide it.
bool worldShifted(const Image& before, const Image& now, int stepX, int stepY);
// How many pixels of the screen region (x, y, w, h) are near white.
int whitishPixels(const Image& screen, int x, int y, int w, int h);
