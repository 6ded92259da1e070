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
// How many pixels of the screen region (x, y, w, h) are near white.
int whitishPixels(const Image& screen, int x, int y, int w, int h);
